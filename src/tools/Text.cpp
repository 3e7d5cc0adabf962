#include "tools/Text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace {

bool isNewline(char32_t c) {
    return c == 0x0A || c == 0x0B || c == 0x0C || c == 0x0D || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isSpaceSeparatorOrTab(char32_t c) {
    return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

bool isWhitespaceOrNewline(char32_t c) {
    return isSpaceSeparatorOrTab(c) || isNewline(c);
}

template <typename Predicate> std::string trimWith(std::string_view text, Predicate drop) {
    size_t first = text.size();
    size_t end = 0;
    for (size_t i = 0; i < text.size();) {
        const Text::CodePoint c = Text::decodeUtf8(text, i);
        if (!c.valid || !drop(c.value)) {
            if (first == text.size())
                first = i;
            end = i + c.length;
        }
        i += c.length;
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
        const CodePoint c = decodeUtf8(text, i);
        size_t length = c.length;
        const bool loneCarriageReturn = c.value == 0x0D && (i + 1 >= text.size() || text[i + 1] != '\n');
        if (c.valid && isNewline(c.value) && (loneCarriageReturnEndsLine || !loneCarriageReturn)) {
            if (i > start)
                lines.emplace_back(text.substr(start, i - start));
            if (c.value == 0x0D && i + 1 < text.size() && text[i + 1] == '\n')
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

std::vector<std::string> splitLines(std::string_view text) {
    return splitLinesWith(text, true);
}

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

std::string trim(std::string_view text) {
    return trimWith(text, isWhitespaceOrNewline);
}

std::string trimSpaces(std::string_view text) {
    return trimWith(text, isSpaceSeparatorOrTab);
}

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
        const CodePoint c = decodeUtf8(bytes, i);
        if (c.valid)
            out.append(bytes.substr(i, c.length));
        else
            out += "\xEF\xBF\xBD";
        i += c.length;
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
        const CodePoint c = decodeUtf8(bytes, i);
        if (!c.valid) {
            bytes = repairUtf8(bytes);
            return;
        }
        i += c.length;
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

CodePoint decodeUtf8(std::string_view text, size_t at) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return {lead, 1, true};
    // The well-formed sequences by lead byte; the second byte's range is what rules out overlong
    // forms, surrogates and values past U+10FFFF.
    struct Form {
        unsigned char firstLead, lastLead;
        size_t continuations;
        unsigned char low, high;
    };
    static constexpr std::array<Form, 8> forms{{{0xC2, 0xDF, 1, 0x80, 0xBF},
                                                {0xE0, 0xE0, 2, 0xA0, 0xBF},
                                                {0xE1, 0xEC, 2, 0x80, 0xBF},
                                                {0xED, 0xED, 2, 0x80, 0x9F},
                                                {0xEE, 0xEF, 2, 0x80, 0xBF},
                                                {0xF0, 0xF0, 3, 0x90, 0xBF},
                                                {0xF1, 0xF3, 3, 0x80, 0xBF},
                                                {0xF4, 0xF4, 3, 0x80, 0x8F}}};
    const auto form = std::find_if(forms.begin(), forms.end(), [lead](const Form& candidate) {
        return lead >= candidate.firstLead && lead <= candidate.lastLead;
    });
    constexpr char32_t replacement = 0xFFFD;
    if (form == forms.end())
        return {replacement, 1, false};
    char32_t value = lead & (0x3F >> form->continuations);
    unsigned char low = form->low;
    unsigned char high = form->high;
    for (size_t k = 1; k <= form->continuations; ++k) {
        if (at + k >= text.size() || byte(at + k) < low || byte(at + k) > high)
            return {replacement, k, false};
        value = (value << 6) | (byte(at + k) & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return {value, form->continuations + 1, true};
}

std::string firstCodePoints(std::string_view text, size_t count) {
    size_t end = 0;
    for (size_t taken = 0; taken < count && end < text.size(); ++taken)
        end += decodeUtf8(text, end).length;
    return repairUtf8(text.substr(0, end));
}

std::string lastNonEmpty(const std::vector<std::string>& lines,
                         const std::function<std::string(std::string_view)>& read) {
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        std::string text = read(*line);
        if (!text.empty())
            return text;
    }
    return {};
}

std::vector<std::string> visibleLines(std::string_view standardError) {
    std::vector<std::string> lines;
    for (const std::string& line : splitLinesKeepingCarriageReturns(standardError)) {
        std::string trimmed = trimSpaces(line);
        if (!trimmed.empty())
            lines.push_back(std::move(trimmed));
    }
    return lines;
}

std::string summarize(std::string_view standardError) {
    const std::vector<std::string> lines = visibleLines(standardError);
    // yt-dlp may end the prefix with a carriage return and put the text after it.
    std::string text = lastNonEmpty(lines, [](std::string_view line) {
        return line.starts_with("ERROR:") ? afterLastCarriageReturn(line.substr(6)) : std::string();
    });
    // No "ERROR:" line with a text: the last line that says something.
    if (text.empty()) {
        text = lastNonEmpty(lines, [](std::string_view line) {
            return line.starts_with("ERROR:") ? std::string() : afterLastCarriageReturn(line);
        });
    }
    return text.empty() ? "unknown error" : text;
}

} // namespace Text
