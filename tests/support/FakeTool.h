#pragma once

#include <filesystem>
#include <string>

// Writes an executable /bin/sh script: "#!/bin/sh\n" + body. Replaces any file at the path.
// The file's modification time is bumped so that caches keyed on it see a change.
void writeFakeTool(const std::filesystem::path& path, const std::string& body);

// The same script, as "tool" in a fresh folder of the sandbox; returns its path.
std::filesystem::path writeFakeToolInTempFolder(const std::string& body);

// Reads a whole file as text (empty when it cannot be read).
std::string readFile(const std::filesystem::path& path);

// Writes a whole file.
void writeFile(const std::filesystem::path& path, const std::string& text);
