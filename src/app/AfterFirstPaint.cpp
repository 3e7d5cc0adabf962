#include "app/AfterFirstPaint.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

AfterFirstPaint::AfterFirstPaint(QWidget* window, std::function<void()> work)
    : QObject(window), m_window(window), m_work(std::move(work)) {
    // Paint events go to the window's children, not to the window itself.
    QCoreApplication::instance()->installEventFilter(this);
}

void AfterFirstPaint::run(QWidget* window, std::function<void()> work) {
    new AfterFirstPaint(window, std::move(work));
}

bool AfterFirstPaint::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Paint || !watched->isWidgetType() || !m_window ||
        qobject_cast<QWidget*>(watched)->window() != m_window)
        return false;
    QCoreApplication::instance()->removeEventFilter(this);
    // After this paint's delivery, not inside it.
    QTimer::singleShot(0, m_window, std::move(m_work));
    deleteLater();
    return false;
}
