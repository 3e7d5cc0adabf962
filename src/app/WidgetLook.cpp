#include "app/WidgetLook.h"

#include <QAccessible>
#include <QApplication>
#include <QFontDatabase>
#include <QHash>
#include <QLabel>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace WidgetLook {

namespace {

// The palette a widget inherits, before any tone of its own.
QPalette basePalette(const QWidget* widget) {
    return widget->parentWidget() ? widget->parentWidget()->palette() : QApplication::palette();
}

// Text needs 4.5:1 against its background (WCAG AA); a little more leaves room for rounding.
constexpr double wantedContrast = 4.6;

// The colour, darkened on a light background or lightened on a dark one, until it reads.
QColor readable(QColor colour, const QColor& background) {
    const bool lightBackground = relativeLuminance(background) > 0.5;
    for (int step = 0; step < 50 && contrast(colour, background) < wantedContrast; ++step)
        colour = lightBackground ? colour.darker(106) : colour.lighter(110);
    if (contrast(colour, background) < wantedContrast)
        colour = lightBackground ? QColor(Qt::black) : QColor(Qt::white);
    return colour;
}

} // namespace

double relativeLuminance(const QColor& colour) {
    auto channel = [](double value) {
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

double contrast(const QColor& first, const QColor& second) {
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor color(Tone tone, const QWidget* widget) {
    const QPalette base = basePalette(widget);
    const QColor background = base.color(QPalette::Window);
    const QColor text = base.color(QPalette::WindowText);
    switch (tone) {
    case Tone::red:
        return readable(QColor(0xd7, 0x26, 0x1e), background);
    case Tone::green:
        return readable(QColor(0x28, 0x9c, 0x3c), background);
    case Tone::secondary: {
        // Between the text and its background, as far from the text as still reads.
        const QColor placeholder = base.color(QPalette::PlaceholderText);
        return readable(placeholder, background);
    }
    case Tone::primary:
        break;
    }
    return text;
}

void apply(QWidget* widget, Tone tone, Size size) {
    // Start from the inherited palette so a tone can be switched back and forth.
    QPalette palette = basePalette(widget);
    const QColor colour = color(tone, widget);
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);

    QFont font = QApplication::font();
    const double base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    // Never below the system's small font.
    // Asked once: each question goes through fontconfig's whole substitution.
    static const double smallest = QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont).pointSizeF();
    auto scaled = [&](double factor) { return std::max(base * factor, std::min(smallest, base)); };
    switch (size) {
    case Size::body:
        break;
    case Size::callout:
        font.setPointSizeF(scaled(0.92));
        break;
    case Size::caption:
        font.setPointSizeF(scaled(0.85));
        break;
    case Size::title:
        font.setPointSizeF(base * 1.6);
        font.setBold(true);
        break;
    }
    widget->setFont(font);
}

Tone toneOf(const QWidget* widget) {
    const QColor shown = widget->palette().color(QPalette::WindowText);
    for (Tone tone : {Tone::red, Tone::green, Tone::secondary}) {
        if (color(tone, widget) == shown)
            return tone;
    }
    return Tone::primary;
}

QIcon symbol(const char* name) {
    struct Mapping {
        const char* symbol;
        const char* theme;
        QStyle::StandardPixmap fallback;
    };
    static const Mapping mappings[] = {
        {"checkmark.shield", "security-high", QStyle::SP_DialogApplyButton},
        {"arrow.down.to.line", "go-bottom", QStyle::SP_ArrowDown},
        {"checkmark.circle.fill", "emblem-default", QStyle::SP_DialogApplyButton},
        {"checkmark.circle", "emblem-ok", QStyle::SP_DialogOkButton},
        {"exclamationmark.triangle.fill", "dialog-warning", QStyle::SP_MessageBoxWarning},
    };
    for (const Mapping& mapping : mappings) {
        if (std::strcmp(mapping.symbol, name) == 0)
            return QIcon::fromTheme(QString::fromLatin1(mapping.theme),
                                    QApplication::style()->standardIcon(mapping.fallback));
    }
    return {};
}

QLabel* makeLabel(const QString& text, QWidget* parent, const char* name) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    if (name)
        label->setObjectName(QString::fromLatin1(name));
    return label;
}

QLabel* makeIconLabel(QWidget* parent, const char* name) {
    auto* icon = new QLabel(parent);
    icon->setObjectName(QString::fromLatin1(name));
    icon->setFixedSize(16, 16);
    return icon;
}

namespace {

// The 16-pixel picture of a symbol, made once: the style's fallback icons decode every size they
// ship when asked for.
QPixmap symbolPixmap(const QString& symbol) {
    static QHash<QString, QPixmap> made;
    auto found = made.find(symbol);
    if (found == made.end())
        found = made.insert(symbol, WidgetLook::symbol(symbol.toLatin1().constData()).pixmap(16, 16));
    return *found;
}

// Draws a label's symbol when the label is next shown, for labels in rows that are hidden: most
// of those a start never shows.
class SymbolOnShow : public QObject {
public:
    explicit SymbolOnShow(QLabel* label) : QObject(label) {
        label->setProperty(pending, true);
        label->installEventFilter(this);
    }

    static constexpr const char* pending = "symbolPending";

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* label = qobject_cast<QLabel*>(watched);
            const QString symbol = label->property("symbol").toString();
            if (!symbol.isEmpty())
                label->setPixmap(symbolPixmap(symbol));
            label->setProperty(pending, false);
            label->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};

} // namespace

void setSymbol(QLabel* icon, const char* symbol) {
    if (!symbol) {
        icon->clear();
        icon->setProperty("symbol", QString()); // a picture still waiting for a show draws nothing
        icon->hide();
        return;
    }
    const QString name = QString::fromLatin1(symbol);
    icon->setProperty("symbol", name);
    icon->show();
    if (icon->isVisible())
        icon->setPixmap(symbolPixmap(name));
    else if (!icon->property(SymbolOnShow::pending).toBool())
        new SymbolOnShow(icon);
}

void announce(QWidget* widget, const QString& text) {
    // Qt 6.4 has no announcement event (QAccessibleAnnouncementEvent came with 6.8): the live
    // label's name changes and an alert follows, which AT-SPI screen readers speak.
    widget->setAccessibleName(text);
    QAccessibleEvent changed(widget, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
    QAccessibleEvent alert(widget, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

} // namespace WidgetLook
