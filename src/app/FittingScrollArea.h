#pragma once

#include <QScrollArea>

// A frameless vertical scroll area that says when its content's height changes, so its owner can
// give it a fixed height (the content's, up to a cap; beyond it the content scrolls): QScrollArea's own size hint stops
// at a fixed number of lines and ignores the content's height for its width, and Qt does not pass a content's new hint
// up past the viewport.
class FittingScrollArea : public QScrollArea {
    Q_OBJECT
public:
    explicit FittingScrollArea(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The content's height for width, uncapped.
    int contentHeight(int width) const;

signals:
    // The content asked for a new layout (a part shown or hidden, a new text).
    void contentChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
};
