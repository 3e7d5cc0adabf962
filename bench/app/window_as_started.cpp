// The window as the tallowin executable starts it (the same steps as its main), reporting its
// first paint for the start benchmark. The window's tool versions come from ToolVersionStore, as
// the tallowin executable has them; without "--version-store" each tool is run instead, as before.
#include "app/TallowinApp.h"
#include "appcore/QuitOnSignal.h"
#include "appcore/Translations.h"

#include "first_paint_report.h"
#include "tools/BundledTools.h"

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
    if (argc < 2 || std::string_view(argv[1]) != "--version-store")
        options.version = [](const std::filesystem::path& tool, std::stop_token stop) {
            return BundledTools::version(tool, stop);
        };
    TallowinApp tallowin(std::move(options));
    QObject::connect(&quitOnSignal, &QuitOnSignal::received, &tallowin, &TallowinApp::quitAfterSignal);
    tallowin.launch();
    return QApplication::exec();
}
