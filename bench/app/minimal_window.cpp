// The start benchmark's baseline: a minimal Qt Widgets program, one window with one label.
#include "first_paint_report.h"

#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    FirstPaintReport report;
    QLabel label(QStringLiteral("Tallowin"));
    label.show();
    return QApplication::exec();
}
