#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Text rules shared by the tools' output readers. All texts are UTF-8.
namespace Text {

// Splits at every newline: LF, VT, FF, CR, CR LF, U+0085, U+2028, U+2029. Empty lines are dropped.
std::vector<std::string> splitLines(std::string_view text);

// The same, except that a carriage return not followed by LF ends no line: it stays inside the
// line (a terminal's return to the line's start, as in progress output).
std::vector<std::string> splitLinesKeepingCarriageReturns(std::string_view text);

// Of a line holding carriage returns, the part after the last one that has non-blank text after
// it, trimmed of spaces: what a terminal shows last. The whole line, trimmed, when it has none;
// empty when the line is blank.
std::string afterLastCarriageReturn(std::string_view line);

// Trims white space and newlines (ASCII white space, U+0085, U+00A0, U+1680, U+2000-U+200A,
// U+2028, U+2029, U+202F, U+205F, U+3000) from both ends. Inner characters stay.
std::string trim(std::string_view text);

// Trims horizontal white space only (tab and the Unicode space separators); line breaks stay.
std::string trimSpaces(std::string_view text);

// Replaces every ill-formed UTF-8 sequence with U+FFFD.
std::string repairUtf8(std::string_view bytes);

// The same for a buffer we own: valid text (the usual case) is kept without a copy.
void repairUtf8InPlace(std::string& bytes);

// Splits at single spaces, dropping empty words (a run of spaces is one separator).
std::vector<std::string> splitWords(std::string_view line, char separator = ' ');

// One UTF-8 sequence, decoded.
struct CodePoint {
    char32_t value = 0;     // U+FFFD when the sequence is ill-formed
    std::size_t length = 1; // bytes taken, at least 1
    bool valid = true;
};

// Decodes the sequence that starts at text[at] (at < text.size()). One that is ill-formed (a byte
// that starts none, a missing or wrong continuation byte, an overlong form, a surrogate, a value
// past U+10FFFF) is invalid and as long as its maximal subpart, so that each such subpart stands
// for one replacement character. Pure.
CodePoint decodeUtf8(std::string_view text, std::size_t at);

// The first `count` code points of the text, an ill-formed sequence counting as one and replaced
// with U+FFFD: valid UTF-8 that never ends inside a code point. Pure.
std::string firstCodePoints(std::string_view text, std::size_t count);

// Walking the lines from the last, the first non-empty text that `read` makes of one; empty when
// every line reads as empty. Pure when read is.
std::string lastNonEmpty(const std::vector<std::string>& lines,
                         const std::function<std::string(std::string_view)>& read);

// A tool's standard error split into lines, each trimmed of spaces, blank ones dropped. A lone
// carriage return does not end a line (it stays inside it). Pure.
std::vector<std::string> visibleLines(std::string_view standardError);

// A tool's standard error in one line, never empty: the text of the last "ERROR:" line that has
// one after its prefix, else the last other line, else "unknown error". Of a line holding carriage
// returns, the text after the last one that is followed by any counts (what a terminal shows).
// Pure.
std::string summarize(std::string_view standardError);

} // namespace Text
