// Private messages between the program's windows. Each is a QEvent whose type
// is the message number; it carries two parameters and gives back a result,
// and is always delivered synchronously: the sender waits until the receiver
// has handled it, also when the sender is a worker thread.
#pragma once

#include <QEvent>

#include <cstdint>

class QObject;

namespace pemberlux {

enum PrivateMessage : int {
    WM_MODEL_CHANGED = 0x401,    // interface page -> main window: record, model name
    WM_SERIAL_SET = 0x402,       // serial dialog -> interface page: new record, record before
    WM_PARALLEL_SET = 0x403,     // parallel dialog -> interface page: record
    WM_NETWORK_SET = 0x404,      // network printer dialogs -> interface page: record
    WM_PORT_CHANGED = 0x405,     // interface page -> main window: port kind, record
    WM_SETTINGS_CHANGED = 0x406, // settings pages -> main window: record
    WM_REFRESH_FIELDS = 0x407,   // label settings page -> itself
};

constexpr int FIRST_PRIVATE_MESSAGE = WM_MODEL_CHANGED;
constexpr int LAST_PRIVATE_MESSAGE = WM_REFRESH_FIELDS;

class MessageEvent final : public QEvent {
public:
    MessageEvent(int message, std::intptr_t wParam, std::intptr_t lParam)
        : QEvent(static_cast<QEvent::Type>(message)), wParam(wParam), lParam(lParam) {}

    int Message() const { return static_cast<int>(type()); }

    const std::intptr_t wParam;
    const std::intptr_t lParam;
    std::intptr_t result = 0;
};

inline bool IsPrivateMessage(const QEvent* e) {
    const int t = static_cast<int>(e->type());
    return t >= FIRST_PRIVATE_MESSAGE && t <= LAST_PRIVATE_MESSAGE;
}

// Hands `message` to `receiver` and returns the receiver's result. On the GUI
// thread the receiver runs inside this call; from a worker the call waits until
// the GUI thread has run it (0 when the worker's owner is shutting down).
std::intptr_t SendMessage(QObject* receiver, int message, std::intptr_t wParam = 0, std::intptr_t lParam = 0);

// Pointer parameters travel as integers, as they always have.
template <class T> std::intptr_t ToParam(T* p) {
    return reinterpret_cast<std::intptr_t>(p);
}
template <class T> T* FromParam(std::intptr_t v) {
    return reinterpret_cast<T*>(v);
}

} // namespace pemberlux
