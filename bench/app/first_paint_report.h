#pragma once

// For the start benchmark's two programs: prints "painted" on standard output when the first
// window's first paint has been delivered, then quits the application.

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>

class FirstPaintReport : public QObject {
public:
    FirstPaintReport() { qApp->installEventFilter(this); }

    bool eventFilter(QObject* target, QEvent* event) override {
        if (!m_done && event->type() == QEvent::Paint && target->isWidgetType()) {
            m_done = true;
            // After this paint's delivery, from the event loop.
            QTimer::singleShot(0, qApp, [] {
                std::fputs("painted\n", stdout);
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    bool m_done = false;
};
