#include "support/Sandbox.h"

#include <cstdlib>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

struct State {
    fs::path root;
    fs::path packageRoot;
    fs::path helpers;
    fs::path dataHome;
    fs::path cacheHome;
    bool realPackage = false;
    int counter = 0;

    State() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tallowin-test-XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        root = pattern;
        dataHome = root / "data";
        cacheHome = root / "cache";
        fs::create_directories(dataHome);
        fs::create_directories(cacheHome);
        fs::create_directories(root / "tmp");
        const char* real = std::getenv("TALLOWIN_TEST_REAL_PACKAGE");
        realPackage = real && *real && std::string(real) != "0";
        packageRoot = realPackage ? fs::path(TALLOWIN_REAL_PACKAGE_DIR) : root / "package";
        helpers = packageRoot / "Contents" / "Helpers";
        if (!realPackage)
            fs::create_directories(helpers);
        setenv("TALLOWIN_PACKAGE_ROOT", packageRoot.c_str(), 1);
        setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        setenv("XDG_CACHE_HOME", cacheHome.c_str(), 1);
        setenv("TMPDIR", (root / "tmp").c_str(), 1);
    }

    ~State() {
        if (std::getenv("TALLOWIN_TEST_KEEP_SANDBOX"))
            return;
        std::error_code error;
        fs::remove_all(root, error);
    }
};

State& state() {
    static State instance;
    return instance;
}

// Made before main(), so that nothing reads the user's real folders first.
[[maybe_unused]] const bool madeEarly = (state(), true);

} // namespace

namespace Sandbox {

const fs::path& root() {
    return state().root;
}
const fs::path& packageRoot() {
    return state().packageRoot;
}
const fs::path& helpers() {
    return state().helpers;
}
const fs::path& dataHome() {
    return state().dataHome;
}
const fs::path& cacheHome() {
    return state().cacheHome;
}
bool usesRealPackage() {
    return state().realPackage;
}

fs::path makeTempFolder(const std::string& hint) {
    fs::path folder = state().root / "work" / (hint + "-" + std::to_string(++state().counter));
    fs::create_directories(folder);
    return folder;
}

} // namespace Sandbox
