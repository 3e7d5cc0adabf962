#include "download/PageUrl.h"

#include "tools/Text.h"

namespace {

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Characters a URL never holds literally: controls, space, and the RFC 3986 "unwise" set.
bool isForbidden(unsigned char c) {
    if (c < 0x20 || c == 0x7F || c == ' ')
        return true;
    switch (c) {
    case '"':
    case '<':
    case '>':
    case '\\':
    case '^':
    case '`':
    case '{':
    case '|':
    case '}':
        return true;
    default:
        return false;
    }
}

// Length of the scheme (RFC 3986: ALPHA *( ALPHA / DIGIT / "+" / "-" / "." )) before ":", or 0.
std::size_t schemeLength(std::string_view text) {
    if (text.empty() || !isAsciiLetter(text[0]))
        return 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ':')
            return i;
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return 0;
}

} // namespace

std::optional<std::string> PageUrl::parse(std::string_view text) {
    std::string trimmed = Text::trim(text);
    if (schemeLength(trimmed) == 0)
        return std::nullopt;
    // Ill-formed UTF-8 is not a URL anyone typed; repairing it would change the address.
    if (Text::repairUtf8(trimmed) != trimmed)
        return std::nullopt;

    bool sawFragment = false;
    for (std::size_t i = 0; i < trimmed.size(); ++i) {
        const auto c = static_cast<unsigned char>(trimmed[i]);
        if (isForbidden(c))
            return std::nullopt;
        if (c == '%' && (i + 2 >= trimmed.size() || !isHexDigit(trimmed[i + 1]) || !isHexDigit(trimmed[i + 2])))
            return std::nullopt;
        if (c == '#') {
            if (sawFragment)
                return std::nullopt;
            sawFragment = true;
        }
        // C1 controls and the Unicode line and paragraph separators (U+0080-U+009F, U+2028, U+2029).
        if (c == 0xC2 && i + 1 < trimmed.size() && static_cast<unsigned char>(trimmed[i + 1]) <= 0x9F)
            return std::nullopt;
        if (c == 0xE2 && i + 2 < trimmed.size() && static_cast<unsigned char>(trimmed[i + 1]) == 0x80 &&
            (static_cast<unsigned char>(trimmed[i + 2]) == 0xA8 || static_cast<unsigned char>(trimmed[i + 2]) == 0xA9))
            return std::nullopt;
    }
    return trimmed;
}
