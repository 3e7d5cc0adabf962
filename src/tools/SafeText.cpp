#include "tools/SafeText.h"

#include "tools/Text.h"

#include <algorithm>

namespace SafeText {

namespace {

bool isSchemeChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
           c == '.';
}

// Where a link in running text ends: white space, a quote or an angle bracket (as in yt-dlp's and
// ffmpeg's messages), or the end.
bool endsLink(char c) {
    return static_cast<unsigned char>(c) <= 0x20 || c == '"' || c == '\'' || c == '<' || c == '>';
}

// Every "scheme://" in the text: the password of its user information becomes "***", and with
// dropQuery its query string goes (the fragment stays out too, since it follows the query).
std::string redactLinks(std::string_view text, bool dropQuery) {
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    for (std::size_t at = text.find("://"); at != std::string_view::npos; at = text.find("://", at + 3)) {
        std::size_t schemeStart = at;
        while (schemeStart > copied && isSchemeChar(text[schemeStart - 1]))
            --schemeStart;
        if (schemeStart == at)
            continue;
        std::size_t end = at + 3;
        while (end < text.size() && !endsLink(text[end]))
            ++end;
        const std::string_view link = text.substr(at + 3, end - at - 3);
        const std::size_t authorityEnd = std::min(link.find_first_of("/?#"), link.size());
        const std::string_view authority = link.substr(0, authorityEnd);
        std::string rewritten;
        // The last "@" ends the user information; a password may hold an "@" of its own.
        if (const std::size_t atSign = authority.rfind('@'); atSign != std::string_view::npos) {
            const std::string_view userInfo = authority.substr(0, atSign);
            const std::size_t colon = userInfo.find(':');
            rewritten = colon == std::string_view::npos ? std::string(userInfo)
                                                        : std::string(userInfo.substr(0, colon)) + ":***";
            rewritten += authority.substr(atSign);
        } else {
            rewritten = authority;
        }
        std::string_view rest = link.substr(authorityEnd);
        if (dropQuery)
            rest = rest.substr(0, std::min(rest.find_first_of("?#"), rest.size()));
        rewritten += rest;
        out.append(text.substr(copied, at + 3 - copied));
        out += rewritten;
        copied = end;
        at = end - 3; // the next search starts after this link
    }
    out.append(text.substr(copied));
    return out;
}

void appendPrintable(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const Text::CodePoint c = Text::decodeUtf8(text, i);
        const char32_t value = c.valid ? c.value : 0xFFFD;
        if (value == '\n')
            out += '\n';
        else if (value == '\t')
            out += ' ';
        else if (value < 0x20 || (value >= 0x7F && value <= 0x9F) || !c.valid)
            out += "\xEF\xBF\xBD";
        else
            out.append(text.substr(i, c.length));
        i += c.length;
    }
}

} // namespace

std::string clean(std::string_view text, Where where) {
    const std::string redacted = redactLinks(text, where == Where::kept);
    std::string out;
    out.reserve(redacted.size());
    appendPrintable(out, redacted);
    return out;
}

} // namespace SafeText
