#pragma once

#include <optional>

// Progress on the launcher or dock entry (com.canonical.Unity.LauncherEntry, which KDE Plasma and
// common docks show) for application://org.tallowin.Tallowin.desktop. Sends only a signal on the
// session bus: never blocks, and without a bus nothing happens. Lives on the GUI thread.
class LauncherProgress {
public:
    // fraction 0…1 shows the bar at that point; none hides it. count above 0 shows that number on
    // the entry (the downloads running and waiting); 0 hides it. Repeats of what is shown are not sent.
    void show(std::optional<double> fraction, int count = 0);

private:
    std::optional<double> m_shown;
    int m_count = 0;
    bool m_sent = false;
};
