#pragma once

#include <CLI/CLI.hpp>

#include <cstddef>
#include <string>

// CLI11's help laid out for a terminal: every text wrapped at word boundaries to the width of the
// terminal on standard output (80 columns elsewhere), each option's or command's description
// indented under its name, and no parser notation (a flag with a negated name, "--force-mp4,
// !--no-force-mp4", is listed by its names alone, not with the "{false}" CLI11 appends).
class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter();

    std::string make_option(const CLI::Option* option, bool isPositional) const override;
    std::string make_option_name(const CLI::Option* option, bool isPositional) const override;
    std::string make_subcommand(const CLI::App* command) const override;
    std::string make_description(const CLI::App* app) const override;
    std::string make_usage(const CLI::App* app, std::string name) const override;
    std::string make_footer(const CLI::App* app) const override;

private:
    // text's words in lines of at most width columns (a word longer than that stands alone),
    // each line starting with indent, each ending in "\n". A "\n" in text starts a new line.
    static std::string wrap(const std::string& text, std::size_t indent, std::size_t width);

    std::size_t m_width;
};
