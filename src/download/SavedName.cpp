#include "download/SavedName.h"

#include "tools/Text.h"

namespace fs = std::filesystem;

namespace SavedName {

namespace {

bool isHidingControl(char32_t c) {
    return (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

} // namespace

std::string honest(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const Text::CodePoint c = Text::decodeUtf8(name, i);
        if (c.valid && isHidingControl(c.value)) {
            // dropped
        } else if (c.valid && isControl(c.value)) {
            out += '_';
        } else {
            out.append(name.substr(i, c.length));
        }
        i += c.length;
    }
    std::size_t dot = out.rfind('.');
    if (dot == std::string::npos || dot + 1 == out.size())
        dot = out.size(); // no extension
    // A title of dots and spaces names nothing anyone can see.
    if (out.find_first_not_of(". ") >= dot)
        out = "video" + out.substr(dot);
    if (out.starts_with('.'))
        out.front() = '_';
    return out;
}

fs::path renamedHonestly(const fs::path& file) {
    const std::string name = honest(file.filename().string());
    if (name == file.filename().string())
        return file;
    const fs::path target = file.parent_path() / name;
    std::error_code error;
    if (fs::exists(fs::symlink_status(target, error)))
        return file;
    fs::rename(file, target, error);
    return error ? file : target;
}

} // namespace SavedName
