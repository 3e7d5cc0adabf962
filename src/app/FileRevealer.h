#pragma once

#include <filesystem>
#include <functional>

// Shows a file in the user's file manager with the file selected, through the freedesktop
// file-manager interface (org.freedesktop.FileManager1.ShowItems on the session bus); when no
// file manager answers, opens the folder that holds it. Returns at once: the D-Bus call is
// asynchronous, so the GUI thread never waits on another process. When neither works,
// failed is called later on the GUI thread (or before reveal returns, without a session bus).
namespace FileRevealer {

void reveal(const std::filesystem::path& file, std::function<void()> failed = {});

} // namespace FileRevealer
