#include "ui/toolkit/Messages.h"

#include "ui/toolkit/GuiThread.h"

#include <QCoreApplication>
#include <QPointer>

namespace pemberlux {

std::intptr_t SendMessage(QObject* receiver, int message, std::intptr_t wParam, std::intptr_t lParam) {
    if (!receiver) return 0;
    std::intptr_t result = 0;
    QPointer<QObject> target(receiver);
    RunOnGuiThread([&] {
        if (!target) return;
        MessageEvent event(message, wParam, lParam);
        QCoreApplication::sendEvent(target, &event);
        result = event.result;
    });
    return result;
}

} // namespace pemberlux
