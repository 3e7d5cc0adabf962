#pragma once

#include <optional>
#include <string>
#include <string_view>

// The rule for the link a user types or pastes: trimmed of white space and line breaks, it must
// parse as a URL with a scheme (RFC 3986: a letter, then letters, digits, "+", "-" or "."),
// so a text beginning with "-" can never reach a tool as an option. Shared by the window and
// the command line.
namespace PageUrl {

// The usable URL (the trimmed text), or nothing.
std::optional<std::string> parse(std::string_view text);

} // namespace PageUrl
