#include "app/TallowinApp.h"
#include "appcore/QuitOnSignal.h"
#include "appcore/Translations.h"

#include <QApplication>

#include <csignal>

int main(int argc, char* argv[]) {
    // A tool that closes its pipe early must not end the window.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallowin"));
    QApplication::setDesktopFileName(QStringLiteral("org.tallowin.Tallowin"));
    Translations::install(application, Translations::userLanguages());
    // Made before TallowinApp, so that it outlives it: while the threads are joined on the way out,
    // a second signal cannot cut the wait short and orphan a tool.
    QuitOnSignal quitOnSignal;
    TallowinApp tallowin;
    QObject::connect(&quitOnSignal, &QuitOnSignal::received, &tallowin, &TallowinApp::quitAfterSignal);
    tallowin.launch();
    return QApplication::exec();
}
