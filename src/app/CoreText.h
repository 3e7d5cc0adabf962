#pragma once

#include <QString>

#include <optional>
#include <string>

// The core's texts are UTF-8 std::strings; the window shows QStrings.
inline QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// An absent text shows as empty.
inline QString qs(const std::optional<std::string>& text) {
    return text ? qs(*text) : QString();
}
