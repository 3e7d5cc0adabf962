#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

// Runs work once the window has painted for the first time, from the event loop: for what the
// first picture does not need (the window icon's images, say), so a start shows the window
// without waiting for it.
class AfterFirstPaint : public QObject {
public:
    // Watches every widget of window until one paints, then queues work and deletes itself.
    // Nothing runs when window is gone first.
    static void run(QWidget* window, std::function<void()> work);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AfterFirstPaint(QWidget* window, std::function<void()> work);

    QPointer<QWidget> m_window;
    std::function<void()> m_work;
};
