#pragma once

#include <QColor>
#include <QIcon>

class QLabel;
class QWidget;

// The window's few text styles and symbols, in one place so every row looks the same.
namespace WidgetLook {

enum class Tone { primary, secondary, red, green };
enum class Size { body, callout, caption, title };

// The colours the tones stand for, for this widget's place in the window: derived from the
// palette it inherits, each at least 4.5:1 against its Window colour, in a light or dark theme.
QColor color(Tone tone, const QWidget* widget);
// WCAG's relative luminance and contrast ratio (1 to 21).
double relativeLuminance(const QColor& colour);
double contrast(const QColor& first, const QColor& second);
// Sets the widget's text colour (its WindowText and Text roles) and font size.
void apply(QWidget* widget, Tone tone, Size size = Size::body);
// The tone the widget's text is shown in, read from its palette.
Tone toneOf(const QWidget* widget);

// The icon theme's nearest match for one of the window's symbol names, with a Qt standard icon
// as fallback: "checkmark.shield", "arrow.down.to.line", "checkmark.circle.fill",
// "checkmark.circle", "exclamationmark.triangle.fill".
QIcon symbol(const char* name);

// A plain-text label, with an object name when given.
QLabel* makeLabel(const QString& text, QWidget* parent, const char* name = nullptr);
// A 16 × 16 label for a symbol (setSymbol), hidden while it shows none.
QLabel* makeIconLabel(QWidget* parent, const char* name);
void setSymbol(QLabel* icon, const char* symbol);

// Tells a screen reader what widget now says: its accessible name becomes text and an alert follows.
void announce(QWidget* widget, const QString& text);

} // namespace WidgetLook
