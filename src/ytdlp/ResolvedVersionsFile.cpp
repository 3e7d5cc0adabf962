#include "ytdlp/ResolvedVersionsFile.h"

#include "platform/AtomicFile.h"
#include "platform/Platform.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr int formatVersion = 1;

nlohmann::json orNull(const std::optional<std::string>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

// A version field: a string, or null for a copy that gave none. Anything else is malformed.
bool readVersion(const nlohmann::json& value, std::optional<std::string>& version) {
    if (value.is_null()) {
        version.reset();
        return true;
    }
    if (!value.is_string())
        return false;
    version = value.get<std::string>();
    return true;
}

} // namespace

namespace ResolvedVersionsFile {

const fs::path& location() {
    static const fs::path path = Platform::cacheHome() / Platform::bundleIdentifier() / "yt-dlp-versions.json";
    return path;
}

std::optional<Entry> read(const fs::path& file, const std::vector<std::string>& key) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    const nlohmann::json stored = nlohmann::json::parse(text.str(), nullptr, false);
    if (stored.is_discarded() || !stored.is_object() || stored.value("format", 0) != formatVersion)
        return std::nullopt;
    const auto storedKey = stored.find("key");
    if (storedKey == stored.end() || !storedKey->is_array() || *storedKey != nlohmann::json(key))
        return std::nullopt;
    Entry entry{key, std::nullopt, std::nullopt};
    if (!stored.contains("bundled") || !stored.contains("updated") ||
        !readVersion(stored["bundled"], entry.bundledVersion) || !readVersion(stored["updated"], entry.updatedVersion))
        return std::nullopt;
    return entry;
}

void write(const fs::path& file, const Entry& entry) {
    const nlohmann::json stored = {
        {"format", formatVersion},
        {"key", entry.key},
        {"bundled", orNull(entry.bundledVersion)},
        {"updated", orNull(entry.updatedVersion)},
    };
    AtomicFile::replace(file, stored.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

void remove(const fs::path& file) {
    std::error_code error;
    fs::remove(file, error);
}

} // namespace ResolvedVersionsFile
