#include "appcore/LaunchArguments.h"

#include <QTest>

Q_DECLARE_METATYPE(LaunchArguments::Action)

namespace {

std::string joined(const std::vector<std::string>& links) {
    std::string text;
    for (const std::string& link : links)
        text += (text.empty() ? "" : " ") + link;
    return text;
}

} // namespace

class LaunchArgumentsTest : public QObject {
    Q_OBJECT
private slots:
    void readsTheGnuWay_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("qtOptionsLeft");
        QTest::addColumn<LaunchArguments::Action>("action");
        QTest::addColumn<QString>("linkOrMessage");
        using A = LaunchArguments::Action;
        QTest::newRow("none") << QStringList{} << false << A::run << "";
        QTest::newRow("link") << QStringList{"https://e.com/v"} << false << A::run << "https://e.com/v";
        QTest::newRow("help wins") << QStringList{"x", "--help", "--bad"} << false << A::help << "";
        QTest::newRow("-V") << QStringList{"-V"} << false << A::version << "";
        QTest::newRow("after --") << QStringList{"--", "--help"} << false << A::run << "--help";
        QTest::newRow("long") << QStringList{"--bad"} << false << A::usageError << "unrecognized option '--bad'";
        QTest::newRow("short") << QStringList{"-x"} << false << A::usageError << "invalid option -- 'x'";
        QTest::newRow("two links") << QStringList{"a", "--", "b"} << false << A::run << "a b";
        QTest::newRow("Qt's left") << QStringList{"-platform", "offscreen"} << true << A::run << "";
    }

    void readsTheGnuWay() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, qtOptionsLeft);
        QFETCH(LaunchArguments::Action, action);
        QFETCH(QString, linkOrMessage);
        std::vector<std::string> raw;
        for (const QString& argument : arguments)
            raw.push_back(argument.toStdString());
        const LaunchArguments parsed = LaunchArguments::parse(raw, qtOptionsLeft);
        QCOMPARE(parsed.action, action);
        QCOMPARE(QString::fromStdString(action == LaunchArguments::Action::usageError ? parsed.message
                                                                                      : joined(parsed.links)),
                 linkOrMessage);
    }
};

QTEST_GUILESS_MAIN(LaunchArgumentsTest)
#include "LaunchArgumentsTest.moc"
