#pragma once

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

} // namespace Text
