#pragma once

#include <string>
#include <string_view>

// Locale-free text rules that every layer needs, down to the HTTP client's URL checks.
namespace Ascii {

// The text with 'A'-'Z' mapped to 'a'-'z' and every other byte kept: no locale, so UTF-8 stays
// as it is. Pure.
inline std::string lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

} // namespace Ascii
