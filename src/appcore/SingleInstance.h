#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// One window per session: the first start owns the session-bus name org.tallowin.Tallowin and
// serves org.freedesktop.Application on /org/tallowin/Tallowin; a later start hands its links
// to it and ends. Without a session bus every start is on its own. Lives on the GUI thread.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        first,      // this process owns the name and receives the later starts' links
        handedOver, // another process owns it and took the links; this one should end (status 0)
        alone,      // no session bus (or it did not answer): this process runs on its own
    };

    static constexpr const char* serviceName = "org.tallowin.Tallowin";
    static constexpr const char* objectPath = "/org/tallowin/Tallowin";

    explicit SingleInstance(QObject* parent = nullptr);
    // Gives the name back, so the next start becomes the first.
    ~SingleInstance() override;

    // Claims the name, or hands links (none: just come forward) to the process that owns it.
    // Blocks for at most a few seconds on the bus; call before the window exists.
    Role claim(const QStringList& links);

signals:
    // A later start (or the desktop) asked for the window, with links when it had some.
    void activated();
    void linksOpened(const QStringList& links);

private:
    bool m_owner = false;
};
