#pragma once

#include <filesystem>
#include <string>

// Every test executable runs in a sandbox made before main(): a fresh temporary folder holding
// the data home, the cache home and TMPDIR, all pointed at through the environment variables a
// user would set. Unit-test executables also get a fake package root (its Contents/Helpers
// starts empty; tests put fake tools there); executables registered with REAL_PACKAGE use the
// real package folder with the shipped tools.
namespace Sandbox {

const std::filesystem::path& root();
const std::filesystem::path& packageRoot(); // fake or real
const std::filesystem::path& helpers();     // packageRoot()/Contents/Helpers
const std::filesystem::path& dataHome();    // $XDG_DATA_HOME
const std::filesystem::path& cacheHome();   // $XDG_CACHE_HOME
bool usesRealPackage();

// A fresh, empty folder inside the sandbox, for one test's files.
std::filesystem::path makeTempFolder(const std::string& hint = "t");

} // namespace Sandbox
