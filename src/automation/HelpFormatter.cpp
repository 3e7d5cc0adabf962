#include "automation/HelpFormatter.h"

std::string HelpFormatter::make_option_name(const CLI::Option* option, bool isPositional) const {
    std::string names = CLI::Formatter::make_option_name(option, isPositional);
    // CLI11 writes a flag's value after the name that sets it, as "--name{value}".
    std::string clean;
    bool inValue = false;
    for (char c : names) {
        if (c == '{')
            inValue = true;
        else if (c == '}')
            inValue = false;
        else if (!inValue)
            clean += c;
    }
    return clean;
}
