#pragma once

#include <QString>
#include <QtGlobal>

// The offscreen platform warns about every window-manager request it cannot honour (raise,
// size hints); those lines say nothing about the code under test, so they are dropped here and
// every other message goes on to Qt Test's own handler.
inline void quietOffscreenWarnings() {
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (text.startsWith(QLatin1String("This plugin does not support")))
            return;
        previous(type, context, text);
    });
}
