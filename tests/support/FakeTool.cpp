#include "support/FakeTool.h"

#include "support/Sandbox.h"

#include <chrono>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void writeFakeTool(const fs::path& path, const std::string& body) {
    // Written beside and renamed into place: a running copy of the old script is never rewritten
    // under its feet, and exec never sees a half-written file ("Text file busy").
    fs::path temporary = path;
    temporary += ".writing";
    writeFile(temporary, "#!/bin/sh\n" + body);
    fs::permissions(temporary,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                        fs::perms::others_exec);
    static auto bump = fs::file_time_type::clock::now();
    bump += std::chrono::seconds(1);
    fs::last_write_time(temporary, bump);
    fs::rename(temporary, path);
}

fs::path writeFakeToolInTempFolder(const std::string& body) {
    const fs::path path = Sandbox::makeTempFolder("tool") / "tool";
    writeFakeTool(path, body);
    return path;
}
