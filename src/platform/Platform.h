#pragma once

#include <filesystem>
#include <string>

// The facts that differ between desktop platforms: where the package is, what the
// bundle identifier is, and where the user's folders are.
namespace Platform {

// The package root: two folders above the folder that holds the running executable, symlinks
// resolved. TALLOWIN_PACKAGE_ROOT overrides it (tests, and running a build tree in place).
std::filesystem::path packageRoot();

// The bundle identifier fixed at build time, or "Tallowin" when it was built empty.
std::string bundleIdentifier();

// $HOME, else the password database's home.
std::filesystem::path homeDirectory();

// $TMPDIR with a trailing "/", else "/tmp/".
std::string temporaryDirectory();

// $XDG_DATA_HOME, default ~/.local/share (the support folder's parent).
std::filesystem::path dataHome();

// $XDG_CACHE_HOME, default ~/.cache (the staging folder's parent).
std::filesystem::path cacheHome();

// The application's own version, for the User-Agent and the About box.
std::string applicationVersion();

} // namespace Platform
