#include "app/WrappingLabel.h"

#include <QEvent>
#include <QTextDocument>

#include <algorithm>
#include <cmath>
#include <memory>

WrappingLabel::WrappingLabel(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setAcceptRichText(false);
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Grows with its text; it scrolls only once capped (setMaximumTextHeight).
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    document()->setDocumentMargin(0);
    // Sits on the window's background like a label.
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QStringLiteral("WrappingLabel { background: transparent; }"));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void WrappingLabel::setText(const QString& text) {
    m_text = text;
    setPlainText(text);
    updateGeometry();
}

void WrappingLabel::setMaximumTextHeight(int height) {
    m_maximumTextHeight = std::max(height, fontMetrics().lineSpacing());
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    updateGeometry();
}

int WrappingLabel::textHeight(int width) const {
    const int revision = document()->revision();
    if (m_measured.width == width && m_measured.revision == revision)
        return m_measured.height;
    // A copy laid out at the given width, so asking does not disturb what is shown.
    std::unique_ptr<QTextDocument> copy(document()->clone());
    copy->setTextWidth(std::max(width - 2 * frameWidth(), 1));
    const int height = std::max(static_cast<int>(std::ceil(copy->size().height())), fontMetrics().lineSpacing());
    m_measured = {width, revision, height};
    return height;
}

void WrappingLabel::changeEvent(QEvent* event) {
    QTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        m_measured = {};
}

int WrappingLabel::heightForWidth(int width) const {
    return std::min(textHeight(width), m_maximumTextHeight) + 2 * frameWidth();
}

QSize WrappingLabel::sizeHint() const {
    const int width = std::max(this->width(), fontMetrics().averageCharWidth() * 20);
    return {fontMetrics().horizontalAdvance(m_text.left(80)) + 2 * frameWidth(), heightForWidth(width)};
}

QSize WrappingLabel::minimumSizeHint() const {
    return {fontMetrics().averageCharWidth() * 8, fontMetrics().lineSpacing() + 2 * frameWidth()};
}

void WrappingLabel::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    updateGeometry();
}
