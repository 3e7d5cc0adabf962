#include "tools/ToolFingerprint.h"

#include <sys/stat.h>

#include <charconv>

std::string ToolFingerprint::of(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return "missing";
    double seconds = static_cast<double>(info.st_mtim.tv_sec) + static_cast<double>(info.st_mtim.tv_nsec) / 1e9;
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, seconds);
    std::string time(buffer, error == std::errc() ? end : buffer);
    if (time.find_first_of(".e") == std::string::npos)
        time += ".0";
    return std::to_string(info.st_size) + "@" + time + "#" + std::to_string(info.st_ino) + ":" +
           std::to_string(info.st_ctim.tv_sec) + "." + std::to_string(info.st_ctim.tv_nsec);
}
