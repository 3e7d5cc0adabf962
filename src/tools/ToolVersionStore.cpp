#include "tools/ToolVersionStore.h"

#include "platform/AtomicFile.h"
#include "platform/Platform.h"
#include "tools/Text.h"
#include "tools/ToolFingerprint.h"

#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <utility>

namespace fs = std::filesystem;

namespace {

// One line per tool, "<path>\t<fingerprint>\t<version>", after this first line. None of the
// three holds a tab or a line break (a tool whose path does is never stored).
constexpr std::string_view header = "tallowin tool versions 1";

using Entries = std::map<std::string, std::pair<std::string, std::string>>;

Entries readEntries(const fs::path& store) {
    Entries entries;
    std::ifstream in(store, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line) || line != header)
        return entries;
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = Text::splitWords(line, '\t');
        if (fields.size() == 3)
            entries[fields[0]] = {fields[1], fields[2]};
    }
    return entries;
}

bool storable(std::string_view text) {
    return !text.empty() && text.find_first_of("\t\r\n") == std::string_view::npos;
}

void writeEntries(const fs::path& store, const Entries& entries) {
    std::string text(header);
    text += '\n';
    for (const auto& [path, answer] : entries)
        text += path + '\t' + answer.first + '\t' + answer.second + '\n';
    AtomicFile::replace(store, text);
}

// Two lookups of this process that both store then keep each other's line.
std::mutex& storeMutex() {
    static std::mutex mutex;
    return mutex;
}

} // namespace

namespace ToolVersionStore {

const fs::path& location() {
    static const fs::path path = Platform::cacheHome() / Platform::bundleIdentifier() / "tool-versions";
    return path;
}

std::optional<std::string> version(const fs::path& tool, std::stop_token stopToken, std::chrono::milliseconds limit) {
    return version(location(), tool, stopToken, limit);
}

std::optional<std::string> version(const fs::path& store,
                                   const fs::path& tool,
                                   std::stop_token stopToken,
                                   std::chrono::milliseconds silenceLimit) {
    const std::string path = tool.string();
    const std::string fingerprint = ToolFingerprint::of(tool);
    {
        std::lock_guard lock(storeMutex());
        const Entries entries = readEntries(store);
        if (auto found = entries.find(path); found != entries.end() && found->second.first == fingerprint)
            return found->second.second;
    }
    std::optional<std::string> answer = BundledTools::version(tool, stopToken, silenceLimit);
    // The fingerprint from before the run: a tool replaced meanwhile is asked again next time.
    if (!answer || !storable(path) || !storable(*answer) || fingerprint == "missing")
        return answer;
    std::lock_guard lock(storeMutex());
    Entries entries = readEntries(store);
    entries[path] = {fingerprint, *answer};
    writeEntries(store, entries);
    return answer;
}

} // namespace ToolVersionStore
