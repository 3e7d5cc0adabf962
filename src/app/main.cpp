#include "app/TallowinApp.h"
#include "appcore/LaunchArguments.h"
#include "appcore/QuitOnSignal.h"
#include "appcore/SingleInstance.h"
#include "appcore/Translations.h"
#include "platform/StandardStreams.h"

#include <QApplication>

#include <csignal>
#include <cstdio>

namespace {

// The arguments as given or as Qt left them, without the program's name.
std::vector<std::string> argumentsOf(const QStringList& all) {
    std::vector<std::string> arguments;
    for (qsizetype i = 1; i < all.size(); ++i)
        arguments.push_back(all[i].toStdString());
    return arguments;
}

} // namespace

int main(int argc, char* argv[]) {
    StandardStreams::openClosedOnes();
    // A tool that closes its pipe early must not end the window.
    std::signal(SIGPIPE, SIG_IGN);
    // --help and --version answer before Qt looks for a display.
    std::vector<std::string> raw(argv + (argc > 0 ? 1 : 0), argv + argc);
    const LaunchArguments early = LaunchArguments::parse(raw, true);
    if (early.action == LaunchArguments::Action::help) {
        std::fputs(LaunchArguments::helpText().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (early.action == LaunchArguments::Action::version) {
        std::fputs(LaunchArguments::versionText().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallowin"));
    QApplication::setDesktopFileName(QStringLiteral("org.tallowin.Tallowin"));
    const LaunchArguments launch = LaunchArguments::parse(argumentsOf(QCoreApplication::arguments()));
    if (launch.action == LaunchArguments::Action::usageError) {
        std::fputs(launch.usageErrorText().c_str(), stderr);
        return 2;
    }
    QStringList links;
    for (const std::string& link : launch.links)
        links << QString::fromStdString(link);
    SingleInstance instance;
    if (instance.claim(links) == SingleInstance::Role::handedOver)
        return 0;

    Translations::install(application, Translations::userLanguages());
    // Made before TallowinApp, so that it outlives it: while the threads are joined on the way out,
    // a second signal cannot cut the wait short and orphan a tool.
    QuitOnSignal quitOnSignal;
    TallowinApp tallowin;
    QObject::connect(&quitOnSignal, &QuitOnSignal::received, &tallowin, &TallowinApp::quitAfterSignal);
    QObject::connect(&instance, &SingleInstance::activated, &tallowin, [&tallowin] { tallowin.openLinks({}); });
    QObject::connect(&instance, &SingleInstance::linksOpened, &tallowin, &TallowinApp::openLinks);
    tallowin.launch();
    if (!links.isEmpty())
        tallowin.openLinks(links);
    return QApplication::exec();
}
