#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

// Turns SIGHUP, SIGINT, SIGTERM and SIGQUIT into received(number) on the thread that made it
// (the GUI thread), so that logging out, closing the terminal or a kill quit the window the
// orderly way instead of leaving its tools running. The handler only writes the number into a
// socket pair (the self-pipe), which is all a signal handler may safely do; a socket notifier
// reads it in the event loop. At most one exists at a time; make it after the QApplication.
class QuitOnSignal : public QObject {
    Q_OBJECT
public:
    // Installs the handlers. Throws std::system_error when the socket pair cannot be made and
    // std::logic_error when another instance exists.
    explicit QuitOnSignal(QObject* parent = nullptr);
    // Puts the previous handlers back and closes the sockets.
    ~QuitOnSignal() override;
    QuitOnSignal(const QuitOnSignal&) = delete;
    QuitOnSignal& operator=(const QuitOnSignal&) = delete;

signals:
    // Once per delivered signal, in the event loop, with the signal's number.
    void received(int number);

private:
    void readPending();

    static constexpr int handledSignals[] = {SIGHUP, SIGINT, SIGTERM, SIGQUIT};
    int m_readEnd = -1;
    int m_writeEnd = -1;
    struct sigaction m_previous[std::size(handledSignals)] = {};
    QSocketNotifier* m_notifier = nullptr;
};
