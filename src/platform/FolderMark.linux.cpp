#include "platform/FolderMark.h"

#include <sys/xattr.h>

#include <string>

namespace FolderMark {

namespace {

std::string attribute(std::string_view name) {
    return "user." + std::string(name);
}

} // namespace

bool set(const std::filesystem::path& folder, std::string_view name) {
    return ::lsetxattr(folder.c_str(), attribute(name).c_str(), "1", 1, 0) == 0;
}

bool isSet(const std::filesystem::path& folder, std::string_view name) {
    return ::lgetxattr(folder.c_str(), attribute(name).c_str(), nullptr, 0) >= 0;
}

} // namespace FolderMark
