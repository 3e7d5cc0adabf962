#include "automation/HelpFormatter.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <sstream>

namespace {

constexpr std::size_t offTerminalWidth = 80;
constexpr std::size_t nameIndent = 2;
constexpr std::size_t descriptionIndent = 6;

std::size_t terminalWidth() {
    winsize size{};
    if (::isatty(STDOUT_FILENO) == 1 && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return offTerminalWidth;
}

// Columns a UTF-8 text takes on a terminal: one a code point, as for every character we print.
std::size_t columns(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char c : text)
        count += (c & 0xC0) != 0x80;
    return count;
}

} // namespace

HelpFormatter::HelpFormatter() : m_width(terminalWidth()) {}

std::string HelpFormatter::wrap(const std::string& text, std::size_t indent, std::size_t width) {
    const std::string margin(indent, ' ');
    std::string out;
    std::istringstream paragraphs(text);
    for (std::string paragraph; std::getline(paragraphs, paragraph);) {
        std::istringstream words(paragraph);
        std::string line;
        for (std::string word; words >> word;) {
            if (!line.empty() && indent + columns(line) + 1 + columns(word) > width) {
                out += margin + line + "\n";
                line.clear();
            }
            line += (line.empty() ? "" : " ") + word;
        }
        out += margin + line + "\n";
    }
    return out;
}

std::string HelpFormatter::make_option(const CLI::Option* option, bool isPositional) const {
    const std::string description = make_option_desc(option);
    // A positional that takes several values reads "URL..." as in the usage line, not "URL ...".
    const std::string opts =
        isPositional ? std::string(option->get_expected_max() > 1 ? "..." : "") : make_option_opts(option);
    return wrap(make_option_name(option, isPositional) + opts, nameIndent, m_width) +
           (description.empty() ? "" : wrap(description, descriptionIndent, m_width));
}

std::string HelpFormatter::make_option_name(const CLI::Option* option, bool isPositional) const {
    const std::string names = CLI::Formatter::make_option_name(option, isPositional);
    // CLI11 writes a flag's value after the name that sets it, as "--name{value}", and joins the
    // names with a bare comma.
    std::string clean;
    bool inValue = false;
    for (char c : names) {
        if (c == '{')
            inValue = true;
        else if (c == '}')
            inValue = false;
        else if (!inValue)
            clean += c == ',' ? std::string(", ") : std::string(1, c);
    }
    return clean;
}

std::string HelpFormatter::make_subcommand(const CLI::App* command) const {
    return wrap(command->get_display_name(true), nameIndent, m_width) +
           wrap(command->get_description(), descriptionIndent, m_width);
}

std::string HelpFormatter::make_description(const CLI::App* app) const {
    const std::string description = CLI::Formatter::make_description(app);
    return description.empty() ? description : wrap(description, 0, m_width);
}

std::string HelpFormatter::make_usage(const CLI::App* app, std::string name) const {
    return wrap(CLI::Formatter::make_usage(app, std::move(name)), 0, m_width);
}

std::string HelpFormatter::make_footer(const CLI::App* app) const {
    return app->get_footer().empty() ? std::string() : wrap(app->get_footer(), 0, m_width);
}
