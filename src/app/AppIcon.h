#pragma once

#include <QIcon>

#include <filesystem>

// Tallowin's own icon, for the window, the task switcher and the About dialog.
namespace AppIcon {

// The icon theme's org.tallowin.Tallowin (an installed package), else the package's own files:
// Contents/Resources/icons/hicolor/<n>x<n>/apps/org.tallowin.Tallowin.png where present, else
// Contents/Resources/org.tallowin.Tallowin.svg (drawn by Qt's SVG plugin). Null when none is found.
QIcon icon(const std::filesystem::path& packageRoot);

} // namespace AppIcon
