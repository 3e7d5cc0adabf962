#include "app/WidgetLook.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QStyle>
#include <QWidget>

#include <cstring>

namespace WidgetLook {

namespace {

// The palette a widget inherits, before any tone of its own.
QPalette basePalette(const QWidget* widget) {
    return widget->parentWidget() ? widget->parentWidget()->palette() : QApplication::palette();
}

} // namespace

QColor color(Tone tone, const QWidget* widget) {
    const QPalette base = basePalette(widget);
    switch (tone) {
    case Tone::red:
        return QColor(0xd7, 0x26, 0x1e);
    case Tone::green:
        return QColor(0x28, 0x9c, 0x3c);
    case Tone::secondary:
        return base.color(QPalette::PlaceholderText);
    case Tone::primary:
        break;
    }
    return base.color(QPalette::WindowText);
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
    switch (size) {
    case Size::body:
        break;
    case Size::callout:
        font.setPointSizeF(base * 0.92);
        break;
    case Size::caption:
        font.setPointSizeF(base * 0.85);
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

void setSymbol(QLabel* icon, const char* symbol) {
    if (!symbol) {
        icon->clear();
        icon->hide();
        return;
    }
    icon->setPixmap(WidgetLook::symbol(symbol).pixmap(16, 16));
    icon->setProperty("symbol", QString::fromLatin1(symbol));
    icon->show();
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
