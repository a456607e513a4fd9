#include "ui/toolkit/Messages.h"

#include "ui/toolkit/GuiThread.h"

#include <QCoreApplication>
#include <QPointer>

namespace pemberlux {

void SendMessage(QObject* receiver, MessageEvent&& message) {
    if (!receiver) return;
    QPointer<QObject> target(receiver);
    RunOnGuiThread([&] {
        if (target) QCoreApplication::sendEvent(target, &message);
    });
}

} // namespace pemberlux
