#pragma once

#include <CLI/CLI.hpp>

#include <string>

// CLI11's help layout without its parser notation: a flag with a negated name ("--force-mp4,
// !--no-force-mp4") is listed by its names alone, not with the "{false}" value that CLI11 appends.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_option_name(const CLI::Option* option, bool isPositional) const override;
};
