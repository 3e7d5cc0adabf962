#include "tools/Text.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr char32_t invalid = 0xFFFFFFFF;

// Decodes one code point at text[i]; sets length to the bytes consumed. An ill-formed sequence
// yields `invalid` with length = its maximal subpart (at least 1), so each subpart becomes one
// replacement character.
char32_t decode(std::string_view text, size_t i, size_t& length) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    length = 1;
    if (lead < 0x80)
        return lead;
    int needed;
    char32_t value;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        needed = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        needed = 2;
        value = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        needed = 3;
        value = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return invalid;
    }
    for (int k = 1; k <= needed; ++k) {
        if (i + k >= text.size())
            return invalid;
        unsigned char next = byte(i + k);
        if (next < low || next > high)
            return invalid;
        low = 0x80;
        high = 0xBF;
        value = (value << 6) | (next & 0x3F);
        length = k + 1;
    }
    return value;
}

bool isNewline(char32_t c) {
    return c == 0x0A || c == 0x0B || c == 0x0C || c == 0x0D || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isSpaceSeparatorOrTab(char32_t c) {
    return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

bool isWhitespaceOrNewline(char32_t c) { return isSpaceSeparatorOrTab(c) || isNewline(c); }

template <typename Predicate>
std::string trimWith(std::string_view text, Predicate drop) {
    size_t first = text.size();
    size_t end = 0;
    for (size_t i = 0; i < text.size();) {
        size_t length;
        char32_t c = decode(text, i, length);
        if (c == invalid || !drop(c)) {
            if (first == text.size())
                first = i;
            end = i + length;
        }
        i += length;
    }
    if (first == text.size())
        return {};
    return std::string(text.substr(first, end - first));
}

} // namespace

namespace Text {

namespace {

std::vector<std::string> splitLinesWith(std::string_view text, bool loneCarriageReturnEndsLine) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size();) {
        size_t length;
        char32_t c = decode(text, i, length);
        const bool loneCarriageReturn = c == 0x0D && (i + 1 >= text.size() || text[i + 1] != '\n');
        if (c != invalid && isNewline(c) && (loneCarriageReturnEndsLine || !loneCarriageReturn)) {
            if (i > start)
                lines.emplace_back(text.substr(start, i - start));
            if (c == 0x0D && i + 1 < text.size() && text[i + 1] == '\n')
                length = 2;
            start = i + length;
        }
        i += length;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

} // namespace

std::vector<std::string> splitLines(std::string_view text) { return splitLinesWith(text, true); }

std::vector<std::string> splitLinesKeepingCarriageReturns(std::string_view text) {
    return splitLinesWith(text, false);
}

std::string afterLastCarriageReturn(std::string_view line) {
    size_t end = line.size();
    while (true) {
        const size_t cr = end == 0 ? std::string_view::npos : line.rfind('\r', end - 1);
        const size_t start = cr == std::string_view::npos ? 0 : cr + 1;
        std::string part = trimSpaces(line.substr(start, end - start));
        if (!part.empty() || cr == std::string_view::npos)
            return part;
        end = cr;
    }
}

std::string trim(std::string_view text) { return trimWith(text, isWhitespaceOrNewline); }

std::string trimSpaces(std::string_view text) { return trimWith(text, isSpaceSeparatorOrTab); }

std::string repairUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        // Output is mostly ASCII: copy such runs whole.
        size_t run = i;
        while (run < bytes.size() && static_cast<unsigned char>(bytes[run]) < 0x80)
            ++run;
        if (run > i) {
            out.append(bytes.substr(i, run - i));
            i = run;
            continue;
        }
        size_t length;
        char32_t c = decode(bytes, i, length);
        if (c == invalid)
            out += "\xEF\xBF\xBD";
        else
            out.append(bytes.substr(i, length));
        i += length;
    }
    return out;
}

void repairUtf8InPlace(std::string& bytes) {
    for (size_t i = 0; i < bytes.size();) {
        // Eight ASCII bytes at a time: tool output is mostly ASCII.
        if (i + 8 <= bytes.size()) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + i, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        size_t length;
        if (decode(bytes, i, length) == invalid) {
            bytes = repairUtf8(bytes);
            return;
        }
        i += length;
    }
}

std::vector<std::string> splitWords(std::string_view line, char separator) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find(separator, start);
        if (end == std::string_view::npos)
            end = line.size();
        if (end > start)
            words.emplace_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

} // namespace Text
