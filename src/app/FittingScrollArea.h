#pragma once

#include <QScrollArea>

// A frameless vertical scroll area that asks for exactly its content's height (for the width it
// has) until setMaximumHeight caps it; beyond that the content scrolls. QScrollArea's own size
// hint stops at a fixed number of lines and ignores the content's height for its width.
class FittingScrollArea : public QScrollArea {
    Q_OBJECT
public:
    explicit FittingScrollArea(QWidget* parent = nullptr);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The content's height for width, uncapped.
    int contentHeight(int width) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
