#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// "About Tallowin": the icon, name and version, what it does and its licence, and the tools the
// package ships with their versions and licences, each licence linked to its text in the package.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    struct Component {
        QString name;
        QString version; // empty: not known
        QString licence; // SPDX identifier
        QString file;    // the licence text, absolute; empty when the package has none
    };

    struct Facts {
        QString version;                   // Platform::applicationVersion()
        std::optional<std::string> ytdlp;  // the active yt-dlp, as the window knows it
        std::optional<std::string> ffmpeg; // as the window looked it up
        std::optional<std::string> deno;
        std::filesystem::path licensesFolder;  // <package>/Contents/Resources/licenses
        std::function<bool(const QUrl&)> open; // QDesktopServices::openUrl by default
    };

    explicit AboutDialog(Facts facts, QWidget* parent = nullptr);

    const std::vector<Component>& components() const { return m_components; }

    // The shipped components with their licences: from licensesFolder/index.json when it is there
    // and readable, with the fixed list (yt-dlp Unlicense, FFmpeg GPL-2.0-or-later, deno MIT,
    // Qt LGPL-3.0) filling in whatever it does not name. Reads the file; never throws.
    static std::vector<Component> shippedComponents(const std::filesystem::path& licensesFolder);

private:
    void openLink(const QString& link);

    Facts m_facts;
    std::vector<Component> m_components;
};
