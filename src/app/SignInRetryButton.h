#pragma once

#include "download/BrowserProfiles.h"

#include <QPushButton>

#include <functional>
#include <vector>

class QMenu;

// "Try Again Signed In": a button whose menu lists the browsers with a profile on this machine
// (one entry per profile where a browser has several), found afresh each time the menu opens.
// Choosing one emits chosen; the button itself reads nothing of the browser.
class SignInRetryButton : public QPushButton {
    Q_OBJECT
public:
    // find defaults to BrowserProfiles::find.
    explicit SignInRetryButton(QWidget* parent = nullptr,
                               std::function<std::vector<BrowserProfiles::Profile>()> find = {});

    // Marks the entry of this label as the current choice (none when empty).
    void setCurrent(const QString& label);

signals:
    // label is the entry's text, to name the browser to the user later.
    void chosen(const BrowserSignIn& signIn, const QString& label);

private:
    void fillMenu();

    std::function<std::vector<BrowserProfiles::Profile>()> m_find;
    QMenu* m_menu = nullptr;
    QString m_current;
};
