#include "ytdlp/YtdlpVersion.h"

#include "tools/Text.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

std::vector<std::string> pieces(std::string_view text) {
    return Text::splitWords(Text::trim(text), '.');
}

// An optional single sign, then at least one ASCII digit, nothing else, within int64.
std::optional<std::int64_t> strictInteger(std::string_view piece) {
    std::string_view digits = piece;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty())
        return std::nullopt;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    // Parse with the sign attached so that INT64_MIN is in range.
    std::string text = negative ? "-" + std::string(digits) : std::string(digits);
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::vector<std::int64_t> components(std::string_view text) {
    std::vector<std::int64_t> result;
    for (const std::string& piece : pieces(text))
        result.push_back(strictInteger(piece).value_or(0));
    return result;
}

} // namespace

namespace YtdlpVersion {

int compare(std::string_view a, std::string_view b) {
    std::vector<std::int64_t> first = components(a);
    std::vector<std::int64_t> second = components(b);
    size_t length = std::max(first.size(), second.size());
    for (size_t i = 0; i < length; ++i) {
        std::int64_t x = i < first.size() ? first[i] : 0;
        std::int64_t y = i < second.size() ? second[i] : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

bool looksValid(std::string_view text) {
    std::vector<std::string> parts = pieces(text);
    if (parts.size() < 3)
        return false;
    for (const std::string& piece : parts) {
        if (!strictInteger(piece))
            return false;
    }
    return true;
}

std::optional<std::chrono::sys_days> releaseDate(std::string_view text) {
    if (!looksValid(text))
        return std::nullopt;
    const std::vector<std::int64_t> parts = components(text);
    if (parts[0] < 1 || parts[0] > 9999 || parts[1] < 1 || parts[1] > 12 || parts[2] < 1 || parts[2] > 31)
        return std::nullopt;
    const std::chrono::year_month_day day{std::chrono::year(static_cast<int>(parts[0])),
                                          std::chrono::month(static_cast<unsigned>(parts[1])),
                                          std::chrono::day(static_cast<unsigned>(parts[2]))};
    if (!day.ok())
        return std::nullopt;
    return std::chrono::sys_days(day);
}

} // namespace YtdlpVersion
