#pragma once

#include <QTextEdit>

// A read-only, selectable text that looks like a label but wraps a word that is longer than the
// line (a path, a URL) at any character: QLabel breaks only between words and would cut it off.
// Its height follows the text for the width it gets; above maximumTextHeight it scrolls.
class WrappingLabel : public QTextEdit {
    Q_OBJECT
public:
    explicit WrappingLabel(QWidget* parent = nullptr);

    // Plain text, shown verbatim.
    void setText(const QString& text);
    QString text() const { return m_text; }

    // The tallest it grows before it scrolls; unlimited by default.
    void setMaximumTextHeight(int height);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int textHeight(int width) const;

    // The last height asked for: layouts ask the same width many times over, and each answer
    // lays the whole text out again. Valid while the document's revision and the font stay.
    struct MeasuredHeight {
        int width = -1;
        int revision = -1;
        int height = 0;
    };

    QString m_text;
    int m_maximumTextHeight = QWIDGETSIZE_MAX;
    mutable MeasuredHeight m_measured;
};
