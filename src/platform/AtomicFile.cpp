#include "platform/AtomicFile.h"

#include <fstream>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace AtomicFile {

bool replace(const fs::path& file, std::string_view contents) noexcept {
    std::error_code error;
    fs::path temporary;
    try {
        fs::create_directories(file.parent_path(), error);
        // random_device reads the kernel's random source, so no two writers pick the same name.
        std::random_device random;
        temporary = file;
        temporary += "." + std::to_string(random()) + std::to_string(random()) + ".writing";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
            out.flush();
            if (!out) {
                out.close();
                fs::remove(temporary, error);
                return false;
            }
        }
        fs::rename(temporary, file, error);
        if (!error)
            return true;
    } catch (const std::exception&) {
        // An allocation or the random source failed; the file stays as it was.
    }
    if (!temporary.empty())
        fs::remove(temporary, error);
    return false;
}

} // namespace AtomicFile
