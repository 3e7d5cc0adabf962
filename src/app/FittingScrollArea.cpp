#include "app/FittingScrollArea.h"

#include <QEvent>

#include <algorithm>

FittingScrollArea::FittingScrollArea(QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

int FittingScrollArea::contentHeight(int width) const {
    const QWidget* content = widget();
    if (!content)
        return 0;
    const int inner = std::max(width - 2 * frameWidth(), 1);
    const int height = content->hasHeightForWidth() ? content->heightForWidth(inner) : content->sizeHint().height();
    return std::max(height, 0);
}

QSize FittingScrollArea::sizeHint() const {
    const int width = this->width() > 0 ? this->width() : (widget() ? widget()->sizeHint().width() : 0);
    return {widget() ? widget()->sizeHint().width() : 0, std::min(contentHeight(width), maximumHeight())};
}

QSize FittingScrollArea::minimumSizeHint() const {
    return {0, 0};
}

bool FittingScrollArea::eventFilter(QObject* watched, QEvent* event) {
    // The content's size changed (a part shown or hidden, a new text): ask again.
    if (watched == widget() && event->type() == QEvent::LayoutRequest) {
        updateGeometry();
        emit contentChanged();
    }
    return QScrollArea::eventFilter(watched, event);
}

bool FittingScrollArea::viewportEvent(QEvent* event) {
    // The content's size hint changed; Qt tells the viewport, which has no layout to pass it on.
    if (event->type() == QEvent::LayoutRequest) {
        updateGeometry();
        emit contentChanged();
    }
    return QScrollArea::viewportEvent(event);
}
