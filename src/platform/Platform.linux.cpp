#include "platform/Platform.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

fs::path executablePath() {
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    // A symlink to the executable from a folder on PATH resolves to the real file here already.
    return fs::weakly_canonical(path, error);
}

// XDG base directories must be absolute; a relative value is ignored, as the base-directory rules ask.
fs::path xdgDirectory(const char* variable, const char* fallbackBelowHome) {
    std::string value = environment(variable);
    if (!value.empty() && value.front() == '/')
        return value;
    return Platform::homeDirectory() / fallbackBelowHome;
}

} // namespace

namespace Platform {

fs::path packageRoot() {
    std::string override = environment("TALLOWIN_PACKAGE_ROOT");
    if (!override.empty())
        return override;
    // <root>/Contents/bin/<executable>
    return executablePath().parent_path().parent_path().parent_path();
}

std::string bundleIdentifier() {
    // An empty cache value still gives the folders a name.
    const std::string identifier = TALLOWIN_BUNDLE_ID;
    return identifier.empty() ? "Tallowin" : identifier;
}

fs::path homeDirectory() {
    std::string home = environment("HOME");
    if (!home.empty())
        return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/";
}

std::string temporaryDirectory() {
    std::string directory = environment("TMPDIR");
    if (directory.empty())
        return "/tmp/";
    if (directory.back() != '/')
        directory += '/';
    return directory;
}

fs::path dataHome() {
    return xdgDirectory("XDG_DATA_HOME", ".local/share");
}

fs::path cacheHome() {
    return xdgDirectory("XDG_CACHE_HOME", ".cache");
}

std::string applicationVersion() {
    return TALLOWIN_VERSION;
}

} // namespace Platform
