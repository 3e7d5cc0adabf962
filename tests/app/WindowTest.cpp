#include "QuietOffscreen.h"
#include "support/ScriptedRuns.h"

#include "app/AboutDialog.h"
#include "app/AppIcon.h"
#include "app/FittingScrollArea.h"
#include "app/TallowinApp.h"
#include "app/WrappingLabel.h"
#include "appcore/Translations.h"
#include "platform/FileCopy.h"
#include "support/Sandbox.h"
#include "tools/SafeText.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QXmlStreamReader>

#include <fstream>
#include <memory>
#include <sstream>

namespace {

std::string readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// The whole application over scripted downloads; the file actions' seams record what they got.
struct Harness {
    ScriptedRuns<DownloadedVideo> downloads;
    std::vector<QUrl> opened;
    bool openWorks = true;
    bool revealWorks = true;
    std::optional<ContentView::CopyTarget> copyTarget;
    QString suggested;
    std::unique_ptr<TallowinApp> app;

    Harness() {
        TallowinApp::Options options;
        options.update = [](const std::function<void(YtdlpUpdatePhase)>&, std::stop_token) {
            return YtdlpUpdateOutcome::alreadyCurrent("2025.01.15");
        };
        options.status = [](std::stop_token) {
            YtdlpStatus status;
            status.bundledVersion = "2025.01.15";
            status.active = {"/pkg/yt-dlp", "2025.01.15", YtdlpInstallation::Source::bundled};
            return status;
        };
        options.version = [](const std::filesystem::path& tool, std::stop_token) {
            return std::optional<std::string>(tool.filename() == "ffmpeg" ? "7.1.1" : "2.1.4");
        };
        options.download = [this](const std::string&, VideoQuality, bool, bool, std::stop_token stop, const auto&...) {
            return downloads.wait(stop);
        };
        options.services.reveal = [this](const std::filesystem::path&, std::function<void()> failed) {
            if (!revealWorks)
                failed();
        };
        options.services.open = [this](const QUrl& url) {
            opened.push_back(url);
            return openWorks;
        };
        options.services.chooseCopyTarget = [this](QWidget*, const QString& name) {
            suggested = name;
            return copyTarget;
        };
        options.appUpdates.feedUrl = QString();
        options.appUpdates.lastCheckFile = Sandbox::makeTempFolder("stamp") / "last-check";
        app = std::make_unique<TallowinApp>(std::move(options));
        app->launch();
        QVERIFY2(QTest::qWaitForWindowExposed(&app->window()), "window not shown");
    }

    template <typename T> T* child(const char* name) {
        T* widget = app->window().findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    QWidget* focus() { return app->window().focusWidget(); }

    // Types a link and ends the download the given way: "finished", "failed" or "cancelled".
    void download(const std::function<DownloadedVideo()>& answer) {
        auto* field = child<QLineEdit>("urlField");
        if (field->text().isEmpty())
            QTest::keyClicks(field, "https://example.com/v");
        const int call = downloads.calls();
        child<QPushButton>("downloadButton")->click();
        QTRY_COMPARE(downloads.calls(), call + 1);
        if (answer)
            downloads.answer(call, answer);
    }
};

DownloadedVideo finishedVideo(const std::filesystem::path& file) {
    return {file, false, true};
}

// Every accessible object under the window, as role and name.
void collect(QAccessibleInterface* node, QList<QPair<QAccessible::Role, QString>>& out, int depth = 0) {
    if (!node || depth > 30)
        return;
    if (!node->state().invisible)
        out.append({node->role(), node->text(QAccessible::Name)});
    for (int i = 0; i < node->childCount(); ++i)
        collect(node->child(i), out, depth + 1);
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }

    void theLinkFieldHasFocusAtStart() {
        Harness h;
        QCOMPARE(h.focus(), h.child<QWidget>("urlField"));
    }

    // Every visible Tab stop, named or not (an unnamed one would be a stop nobody sees), from the first.
    void tabFollowsTheVisualOrder_data() {
        QTest::addColumn<bool>("downloaded");
        QTest::addColumn<QStringList>("order");
        const QStringList form{
            "updateButton", "urlField", "qualityPicker", "forceMP4Toggle", "compatibleToggle", "downloadButton"};
        QTest::newRow("at start") << false << form;
        QTest::newRow("after a download") << true
                                          << form + QStringList{"statusFileName",
                                                                "removeButton",
                                                                "statusFolder",
                                                                "openFileButton",
                                                                "showInFolderButton",
                                                                "saveCopyButton"};
    }
    void tabFollowsTheVisualOrder() {
        QFETCH(bool, downloaded);
        QFETCH(QStringList, order);
        Harness h;
        if (downloaded)
            h.download([] { return finishedVideo("/cache/w/clip.mp4"); });
        auto save = [&h] { return h.app->window().findChild<QWidget*>("saveCopyButton"); };
        QTRY_COMPARE(save() && save()->isVisible(), downloaded);
        QWidget* first = h.child<QWidget>("updateButton");
        QStringList stops;
        QWidget* widget = first;
        for (int i = 0; i < 80 && (i == 0 || widget != first); ++i, widget = widget->nextInFocusChain())
            if (widget->isVisibleTo(&h.app->window()) && widget->focusPolicy() & Qt::TabFocus)
                stops << (widget->objectName().isEmpty() ? widget->metaObject()->className() : widget->objectName());
        QCOMPARE(stops, order);
    }

    // Where the focus goes while a download runs and once it ends, by where it was at the start:
    // the cleared field takes it, ready for the next link, and keeps it.
    void focusReturnsWhereItWasAfterADownload_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("whileRunning");
        for (const char* ending : {"finished", "failed", "cancelled"}) {
            QTest::addRow("button, %s", ending) << "downloadButton" << ending << "urlField";
            QTest::addRow("field, %s", ending) << "urlField" << ending << "urlField";
        }
    }
    void focusReturnsWhereItWasAfterADownload() {
        QFETCH(QString, from);
        QFETCH(QString, ending);
        QFETCH(QString, whileRunning);
        Harness h;
        QTest::keyClicks(h.child<QLineEdit>("urlField"), "https://example.com/v");
        h.child<QWidget>(qPrintable(from))->setFocus();
        if (from == "urlField")
            QTest::keyClick(h.child<QLineEdit>("urlField"), Qt::Key_Return);
        else
            QTest::keyClick(h.child<QPushButton>("downloadButton"), Qt::Key_Space);
        QTRY_COMPARE(h.downloads.calls(), 1);
        QCOMPARE(h.focus()->objectName(), whileRunning);
        if (ending == "finished")
            h.downloads.answer(0, [] { return finishedVideo("/cache/w/clip.mp4"); });
        else if (ending == "failed")
            h.downloads.answer(0, []() -> DownloadedVideo { throw std::runtime_error("yt-dlp failed"); });
        else
            QTest::keyClick(h.focus(), Qt::Key_Escape);
        QTRY_COMPARE(h.app->downloads().runningCount(), 0);
        QCOMPARE(h.focus()->objectName(), whileRunning);
        QVERIFY(h.focus() != h.child<QWidget>("updateButton"));
    }

    void escapeCancelsOnlyARunningDownload() {
        Harness h;
        QLineEdit* field = h.child<QLineEdit>("urlField");
        QTest::keyClick(field, Qt::Key_Escape); // nothing runs: nothing happens
        QCOMPARE(h.app->downloads().size(), 0);
        h.download({});
        h.download({});
        // The newest running one goes; the older one runs on.
        QTest::keyClick(h.child<QComboBox>("qualityPicker"), Qt::Key_Escape);
        QCOMPARE(h.app->downloads().size(), 1);
        QTRY_COMPARE(h.downloads.stopsSeen(), 1);
        QCOMPARE(h.app->downloads().row(0).state().kind, DownloadTester::State::Kind::running);
        QTest::keyClick(field, Qt::Key_Escape);
        QCOMPARE(h.app->downloads().size(), 0);
        QTRY_COMPARE(h.downloads.stopsSeen(), 2);
    }

    void menuItemsHaveAccessKeys() {
        Harness h;
        QStringList keys{h.app->menu().title()};
        for (QAction* action : h.app->menu().actions())
            if (!action->isSeparator())
                keys << action->text();
        QSet<QChar> used;
        for (const QString& text : keys) {
            const qsizetype amp = text.indexOf('&');
            QVERIFY2(amp >= 0 && amp + 1 < text.size(), qPrintable(text));
            if (text != h.app->menu().title())
                QVERIFY2(!used.contains(text.at(amp + 1).toLower()), qPrintable(text));
            used.insert(text.at(amp + 1).toLower());
        }
    }

    void everyControlHasAnAccessibleName() {
        Harness h;
        QTRY_COMPARE(h.child<QLabel>("denoVersion")->text(), QString("2.1.4"));
        QList<QPair<QAccessible::Role, QString>> nodes;
        collect(QAccessible::queryAccessibleInterface(&h.app->window()), nodes);
        const QList<QAccessible::Role> controls{
            QAccessible::EditableText, QAccessible::ComboBox, QAccessible::CheckBox, QAccessible::Button};
        QStringList names;
        for (const auto& [role, name] : nodes) {
            if (controls.contains(role))
                QVERIFY2(!name.isEmpty(), qPrintable(QString("role %1 without a name").arg(role)));
            names << name;
        }
        for (const char* expected : {"Video URL",
                                     "Quality",
                                     "Force MP4",
                                     "Compatible (H.264)",
                                     "Download",
                                     "Update yt-dlp…",
                                     "yt-dlp version: 2025.01.15",
                                     "ffmpeg version: 7.1.1",
                                     "deno version: 2.1.4"})
            QVERIFY2(names.contains(expected), expected);
        QCOMPARE(h.child<QLabel>("qualityLabel")->buddy(), h.child<QWidget>("qualityPicker"));
        for (const char* described : {"urlField", "qualityPicker", "forceMP4Toggle", "compatibleToggle"})
            QVERIFY2(!h.child<QWidget>(described)->accessibleDescription().isEmpty(), described);
        QCOMPARE(h.child<QWidget>("forceMP4Toggle")->toolTip(),
                 h.child<QWidget>("forceMP4Toggle")->accessibleDescription());
        QVERIFY(h.child<QWidget>("forceMP4Toggle")->toolTip().contains("this computer"));
    }

    // The outcome is spoken: the live label's name changes and an alert follows.
    void outcomesAreAnnounced_data() {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("name");
        QTest::newRow("finished") << "finished"
                                  << "statusFileName"
                                  << "Downloaded clip.mp4";
        QTest::newRow("failed") << "failed"
                                << "statusError"
                                << "Download failed: yt-dlp failed: 404";
        QTest::newRow("said once") << "Download failed: HTTP 404"
                                   << "statusError"
                                   << "Download failed: HTTP 404";
        QTest::newRow("update") << "update"
                                << "updateStatusText"
                                << "yt-dlp 2025.01.15 is already the latest release.";
    }
    void outcomesAreAnnounced() {
        QFETCH(QString, ending);
        QFETCH(QString, label);
        QFETCH(QString, name);
        Harness h;
        // The platform's accessibility bridge is off offscreen, so the events are seen through the
        // view's signal; the name is read back through the accessible interface a reader would use.
        QSignalSpy announced(&h.app->contentView(), &ContentView::announced);
        if (ending == "update")
            h.child<QPushButton>("updateButton")->click();
        else if (ending == "finished")
            h.download([] { return finishedVideo("/cache/w/clip.mp4"); });
        else
            h.download([ending]() -> DownloadedVideo {
                throw std::runtime_error(ending == "failed" ? "yt-dlp failed: 404" : ending.toStdString());
            });
        QWidget* live = h.child<QWidget>(qPrintable(label));
        QTRY_COMPARE(announced.count(), 1);
        QCOMPARE(announced.at(0).at(0).value<QWidget*>(), live);
        QCOMPARE(announced.at(0).at(1).toString(), name);
        QCOMPARE(QAccessible::queryAccessibleInterface(live)->text(QAccessible::Name), name);
        QTest::qWait(50);
        QCOMPARE(announced.count(), 1); // once per outcome
    }

    // A word longer than the line (a path, a URL) wraps; the window stays on the screen.
    void longErrorsWrapAndTheWindowFitsTheScreen_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("unbreakable path") << "Could not write /" + QString(400, 'p') + "/clip.mp4" << false;
        QTest::newRow("yt-dlp's 404")
            << "ERROR: [generic] Unable to download webpage: HTTP Error 404: Not Found (caused by "
               "<HTTPError 404: Not Found>); please report this issue on "
               "https://github.com/yt-dlp/yt-dlp/issues?q= , filling out the appropriate "
               "issue template. Confirm you are on the latest version using yt-dlp -U"
            << false;
        QTest::newRow("many lines") << QString("yt-dlp said: something went wrong here.\n").repeated(200) << true;
    }
    void longErrorsWrapAndTheWindowFitsTheScreen() {
        QFETCH(QString, message);
        QFETCH(bool, scrolls);
        Harness h;
        h.download([message]() -> DownloadedVideo { throw std::runtime_error(message.toStdString()); });
        auto* error = h.child<WrappingLabel>("statusError");
        QTRY_VERIFY(error->isVisible());
        // The text a notification shows too: a link's query string left out.
        QCOMPARE(error->text(), QString::fromStdString(SafeText::clean(message.toStdString(), SafeText::Where::kept)));
        QVERIFY(error->textInteractionFlags() & Qt::TextSelectableByKeyboard);
        QVERIFY(error->textInteractionFlags() & Qt::TextSelectableByMouse);
        const int available = h.app->window().screen()->availableGeometry().height();
        auto* area = h.child<FittingScrollArea>("statusArea");
        // Settles after the layout runs; the content scrolls instead of growing the window.
        QTRY_VERIFY(h.app->window().height() <= available);
        if (scrolls) {
            QTRY_VERIFY(area->verticalScrollBar()->maximum() > 0);
            // ...and only once the screen is used up, less room for a title bar.
            QTRY_VERIFY2(h.app->window().height() > available - 120,
                         qPrintable(QString("%1 of %2").arg(h.app->window().height()).arg(available)));
        } else {
            QTRY_COMPARE(area->height(), area->contentHeight(area->width()));
            QCOMPARE(area->verticalScrollBar()->maximum(), 0);
            QTRY_VERIFY(error->height() >= 5 * error->fontMetrics().lineSpacing()); // wrapped, not cut off
        }
        QCOMPARE(h.app->window().width(), h.app->window().minimumWidth());
        QCOMPARE(error->horizontalScrollBar()->maximum(), 0); // nothing cut off at the right
        QVERIFY(error->document()->size().width() <= error->viewport()->width() + 1);
    }

    void aShortErrorDoesNotScroll() {
        Harness h;
        h.download([]() -> DownloadedVideo { throw std::runtime_error("yt-dlp failed: 404"); });
        auto* area = h.child<FittingScrollArea>("statusArea");
        QTRY_VERIFY(h.child<QWidget>("statusError")->isVisible());
        QTest::qWait(50);
        QCOMPARE(area->verticalScrollBar()->maximum(), 0);
    }

    void fileMenuOffersItsActions_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("works");
        QTest::addColumn<QString>("complaint"); // a message box's text starts so; empty: none
        QTest::addColumn<QString>("from");      // the widget the menu is opened on...
        QTest::addColumn<QString>("keys");      // ...with these keys; none: the mouse
        QTest::newRow("open") << "openFileAction" << true << ""
                              << "statusFileName"
                              << "Shift+F10";
        QTest::newRow("open fails") << "openFileAction" << false << "Could not open "
                                    << "openFileButton"
                                    << "Menu";
        QTest::newRow("copy path") << "copyPathAction" << true << ""
                                   << "showInFolderButton"
                                   << "Shift+F10";
        QTest::newRow("show in folder") << "showInFolderAction" << true << ""
                                        << "saveCopyButton"
                                        << "Menu";
        QTest::newRow("nothing can show it") << "showInFolderAction" << false << "Could not show "
                                             << "statusFileName"
                                             << "";
    }
    void fileMenuOffersItsActions() {
        QFETCH(QString, action);
        QFETCH(bool, works);
        QFETCH(QString, complaint);
        QFETCH(QString, from);
        QFETCH(QString, keys);
        Harness h;
        h.openWorks = works;
        h.revealWorks = works;
        const QString path = "/cache/w/a clip.mp4";
        h.download([path] { return finishedVideo(path.toStdString()); });
        auto* name = h.child<QLabel>("statusFileName");
        QTRY_VERIFY(name->isVisible());
        QVERIFY(name->textInteractionFlags() & Qt::TextSelectableByMouse);
        QGuiApplication::clipboard()->clear();
        if (keys.isEmpty())
            emit name->customContextMenuRequested(QPoint(2, 2));
        else
            QTest::keySequence(h.child<QWidget>(qPrintable(from)), QKeySequence(keys));
        auto* menu = h.app->window().findChild<QMenu*>("fileMenu");
        QVERIFY(menu && menu->isVisible());
        QStringList items;
        for (QAction* item : menu->actions())
            items << item->objectName();
        QCOMPARE(items, (QStringList{"openFileAction", "copyPathAction", "showInFolderAction", "saveCopyAction"}));
        menu->findChild<QAction*>(action)->trigger();
        menu->close();
        if (action == "openFileAction")
            QCOMPARE(h.opened, std::vector<QUrl>{QUrl::fromLocalFile(path)});
        if (action == "copyPathAction")
            QCOMPARE(QGuiApplication::clipboard()->text(), path);
        auto* box = h.app->window().findChild<QMessageBox*>("fileActionFailed");
        QCOMPARE(box != nullptr, !complaint.isEmpty());
        if (box)
            QVERIFY2(box->text().startsWith(complaint) && box->text().contains(path), qPrintable(box->text()));
    }

    // The copy is whole or absent; an existing file is replaced only when the user agreed.
    void saveACopy_data() {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<bool>("copied");
        QTest::newRow("new name") << false << false << true;
        QTest::newRow("existing, not agreed") << true << false << false;
        QTest::newRow("existing, agreed") << true << true << true;
    }
    void saveACopy() {
        QFETCH(bool, exists);
        QFETCH(bool, replace);
        QFETCH(bool, copied);
        const std::filesystem::path folder = Sandbox::makeTempFolder("copy");
        const std::filesystem::path source = folder / "clip.mp4";
        std::string bytes(3 * 1024 * 1024 + 17, '\0');
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 7 % 251);
        std::ofstream(source, std::ios::binary) << bytes;
        const std::filesystem::path target = folder / "saved" / "my clip.mp4";
        std::filesystem::create_directories(target.parent_path());
        if (exists)
            std::ofstream(target) << "keep me";
        Harness h;
        h.copyTarget = ContentView::CopyTarget{QString::fromStdString(target.string()), replace};
        h.download([source] { return finishedVideo(source); });
        QTRY_VERIFY(h.child<QWidget>("statusFileName")->isVisible());
        emit h.child<QLabel>("statusFileName")->customContextMenuRequested(QPoint(2, 2));
        h.app->window().findChild<QMenu*>("fileMenu")->findChild<QAction*>("saveCopyAction")->trigger();
        QCOMPARE(h.suggested, QString("clip.mp4"));
        if (copied) {
            QTRY_COMPARE(readAll(target).size(), bytes.size());
            QVERIFY(readAll(target) == bytes);
        } else {
            QTRY_VERIFY(h.app->window().findChild<QMessageBox*>("fileActionFailed"));
            QCOMPARE(readAll(target), std::string("keep me"));
        }
        QTest::qWait(50);
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(target.parent_path()))
            left.push_back(entry.path().filename().string());
        QCOMPARE(left, std::vector<std::string>{"my clip.mp4"}); // no partial file stays
    }

    void aStoppedCopyLeavesNothing() {
        const std::filesystem::path folder = Sandbox::makeTempFolder("stop");
        std::ofstream(folder / "a.mp4") << std::string(1024, 'a');
        std::stop_source stop;
        stop.request_stop();
        QCOMPARE(FileCopy::copyWhole(folder / "a.mp4", folder / "b.mp4", false, stop.get_token()),
                 FileCopy::Result::stopped);
        QVERIFY(!std::filesystem::exists(folder / "b.mp4"));
        QCOMPARE(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    }

    void theApplicationIconIsTallowins() {
        const std::filesystem::path root = Sandbox::makeTempFolder("pkg");
        std::filesystem::create_directories(root / "Contents" / "Resources");
        QVERIFY(AppIcon::icon(root).isNull() || !QIcon::fromTheme("org.tallowin.Tallowin").isNull());
        std::filesystem::copy_file(TALLOWIN_SOURCE_DIR "/packaging/org.tallowin.Tallowin.svg",
                                   root / "Contents" / "Resources" / "org.tallowin.Tallowin.svg");
        const QIcon icon = AppIcon::icon(root);
        QVERIFY(!icon.isNull());
        QVERIFY(!icon.pixmap(64, 64).isNull());
    }

    void aboutNamesTheShippedToolsAndTheirLicences_data() {
        QTest::addColumn<QString>("index"); // index.json's content; empty: no file
        QTest::addColumn<QString>("ffmpegLicence");
        QTest::addColumn<bool>("linked");
        QTest::newRow("no index") << ""
                                  << "GPL-2.0-or-later" << false;
        QTest::newRow("index") << R"([{"name":"FFmpeg","license":"LGPL-2.1-or-later","file":"ffmpeg.txt"}])"
                               << "LGPL-2.1-or-later" << true;
        QTest::newRow("broken index") << "{not json"
                                      << "GPL-2.0-or-later" << false;
    }
    void aboutNamesTheShippedToolsAndTheirLicences() {
        QFETCH(QString, index);
        QFETCH(QString, ffmpegLicence);
        QFETCH(bool, linked);
        const std::filesystem::path licenses = Sandbox::makeTempFolder("licenses");
        std::ofstream(licenses / "ffmpeg.txt") << "licence text";
        if (!index.isEmpty())
            std::ofstream(licenses / "index.json") << index.toStdString();
        std::vector<QUrl> opened;
        AboutDialog about({"1.2.3", "2025.01.15", "7.1.1", std::nullopt, licenses, [&](const QUrl& url) {
                               opened.push_back(url);
                               return true;
                           }});
        QCOMPARE(about.findChild<QLabel*>("aboutVersion")->text(), QString("Version 1.2.3"));
        QVERIFY(about.findChild<QLabel*>("aboutLicence")->text().contains("MIT"));
        QStringList rows;
        for (const AboutDialog::Component& c : about.components())
            rows << c.name + " " + c.version + " " + c.licence;
        QCOMPARE(rows.mid(0, 3),
                 (QStringList{"yt-dlp 2025.01.15 Unlicense", "FFmpeg 7.1.1 " + ffmpegLicence, "deno  MIT"}));
        QVERIFY(rows.at(3).startsWith("Qt 6.") && rows.at(3).endsWith("LGPL-3.0"));
        QCOMPARE(about.findChild<QLabel*>("aboutVersion_deno")->text(), QString("unknown"));
        auto* cell = about.findChild<QLabel*>("aboutLicence_FFmpeg");
        QCOMPARE(cell->textFormat() == Qt::RichText, linked);
        if (linked) {
            emit cell->linkActivated(
                QUrl::fromLocalFile(QString::fromStdString((licenses / "ffmpeg.txt").string())).toString());
            QCOMPARE(opened.size(), size_t(1));
        }
        about.findChild<QPushButton*>("licenceTextsButton")->click();
        QCOMPARE(opened.back(), QUrl::fromLocalFile(QString::fromStdString(licenses.string())));
    }

    void theMenuOpensTheAboutDialog() {
        Harness h;
        AboutDialog* about = h.app->showAbout();
        QVERIFY(about->isVisible());
        QCOMPARE(h.app->showAbout(), about); // one at a time
        QVERIFY(!about->windowIcon().isNull() || QApplication::windowIcon().isNull());
        about->close();
    }

    // Every fixed text of the window has a finished German translation.
    void theGermanCatalogueIsComplete() {
        QFile file(TALLOWIN_SOURCE_DIR "/translations/tallowin_de.ts");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        int messages = 0;
        QString source;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("source"))
                source = xml.readElementText();
            else if (xml.name() == QLatin1String("translation")) {
                ++messages;
                const QString type = xml.attributes().value("type").toString();
                const QString text = xml.readElementText();
                QVERIFY2(type.isEmpty(), qPrintable(source + " is " + type));
                QVERIFY2(!text.trimmed().isEmpty(), qPrintable(source + " has no translation"));
                QCOMPARE(text.count(QRegularExpression("%\\d")), source.count(QRegularExpression("%\\d")));
                QCOMPARE(text.count('&') > 0, source.count('&') > 0); // access keys kept
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(messages > 50);
    }

    // Runs last: it installs the German catalogue for the rest of the process.
    void germanIsShownForAGermanUser() {
        QCOMPARE(Translations::install(*qApp, {"en-US", "de"}), QString()); // English wanted first
        QCOMPARE(Translations::install(*qApp, {"de-AT", "en"}), QString("de"));
        Harness h;
        QCOMPARE(h.child<QPushButton>("downloadButton")->text(), QString("Herunterladen"));
        QCOMPARE(h.app->menu().title(), QString("&Tallowin"));
        QCOMPARE(h.child<QCheckBox>("forceMP4Toggle")->text(), QString("Immer MP4"));
        QCOMPARE(h.child<QComboBox>("qualityPicker")->itemText(0), QString("Beste Qualität"));
    }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
