#include "app/TallowinApp.h"

#include <QApplication>

#include <csignal>

int main(int argc, char* argv[]) {
    // A tool that closes its pipe early must not end the window.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallowin"));
    QApplication::setDesktopFileName(QStringLiteral("org.tallowin.Tallowin"));
    TallowinApp tallowin;
    tallowin.launch();
    return QApplication::exec();
}
