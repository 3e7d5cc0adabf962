#pragma once

#include <QString>

#include <optional>

// The user's own folders as xdg-user-dir names them: the assignments in
// $XDG_CONFIG_HOME/user-dirs.dirs (~/.config by default), read as the shell that the script
// sources it into would, over the same variables in the environment. Qt's MoviesLocation is not
// this: it falls back to ~/Videos whatever the user chose.
namespace UserFolders {

// The folder XDG_<name>_DIR names ("VIDEOS"), "$HOME" expanded; none when it is not set, names the
// home folder itself (how xdg-user-dirs marks a folder the user turned off) or is not absolute.
// Reads one small file; never throws.
std::optional<QString> configured(const QString& name);

// Where a copy goes first: the Videos folder, created when missing, else the home folder; never
// the current folder.
QString videosOrHome();

} // namespace UserFolders
