// The window as the tallowin executable starts it (the same steps as its main), reporting its
// first paint for the start benchmark. With "--version-store" the window's tool versions come from
// ToolVersionStore instead of a run of each tool, as a warm start would have them.
#include "app/QuitOnSignal.h"
#include "app/TallowinApp.h"
#include "app/Translations.h"

#include "first_paint_report.h"
#include "tools/ToolVersionStore.h"

#include <csignal>
#include <string_view>

int main(int argc, char* argv[]) {
    std::signal(SIGPIPE, SIG_IGN);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallowin"));
    QApplication::setDesktopFileName(QStringLiteral("org.tallowin.Tallowin"));
    FirstPaintReport report;
    Translations::install(application, Translations::userLanguages());
    QuitOnSignal quitOnSignal;
    TallowinApp::Options options;
    if (argc > 1 && std::string_view(argv[1]) == "--version-store")
        options.services.version = [](const std::filesystem::path& tool, std::stop_token stop) {
            return ToolVersionStore::version(tool, stop);
        };
    TallowinApp tallowin(std::move(options));
    QObject::connect(&quitOnSignal, &QuitOnSignal::received, &tallowin, &TallowinApp::quitAfterSignal);
    tallowin.launch();
    return QApplication::exec();
}
