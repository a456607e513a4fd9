// Private messages between the program's windows. Each message is an event
// class of its own: a QEvent whose type is the message number, carrying the
// message's record as typed members. A message is always delivered
// synchronously: the sender waits until the receiver has handled it, also when
// the sender is a worker thread. The records are the sender's own, referred
// to, not copied: the receiver takes what it keeps while it handles the message.
#pragma once

#include "core/base/PortSettings.h"

#include <QEvent>

#include <string>

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

// The common base of the message classes below; only they make one.
class MessageEvent : public QEvent {
public:
    PrivateMessage Message() const { return static_cast<PrivateMessage>(type()); }

    // This message as message class E, or nullptr when it is another message.
    template <class E> const E* As() const;

protected:
    explicit MessageEvent(PrivateMessage message) : QEvent(static_cast<QEvent::Type>(message)) {}
};

// `event` as message class E, or nullptr when it is anything else (for event
// filters that watch a window's messages).
template <class E> const E* MessageAs(const QEvent* event) {
    if (!event || static_cast<int>(event->type()) != E::NUMBER) return nullptr;
    return dynamic_cast<const E*>(event);
}

template <class E> const E* MessageEvent::As() const {
    return MessageAs<E>(this);
}

// 0x401, interface page -> main window: the page's record, already holding the
// new model name and already saved, and the model name as the list shows it.
class ModelChangedEvent final : public MessageEvent {
public:
    static constexpr PrivateMessage NUMBER = WM_MODEL_CHANGED;
    ModelChangedEvent(const PortSettings& settings, const std::string& modelName)
        : MessageEvent(NUMBER), settings(settings), modelName(modelName) {}
    const PortSettings& settings;
    const std::string& modelName;
};

// 0x402, serial dialog (OK) -> interface page: the new serial record and the
// record as it was before the dialog changed it.
class SerialSetEvent final : public MessageEvent {
public:
    static constexpr PrivateMessage NUMBER = WM_SERIAL_SET;
    SerialSetEvent(const PortSettings& settings, const PortSettings& before)
        : MessageEvent(NUMBER), settings(settings), before(before) {}
    const PortSettings& settings;
    const PortSettings& before;
};

// 0x403, parallel dialog (OK) -> interface page: the parallel record.
class ParallelSetEvent final : public MessageEvent {
public:
    static constexpr PrivateMessage NUMBER = WM_PARALLEL_SET;
    explicit ParallelSetEvent(const PortSettings& settings) : MessageEvent(NUMBER), settings(settings) {}
    const PortSettings& settings;
};

// 0x404, network printer dialogs (OK) -> interface page: the dialog's record
// with the chosen printer's IP address and TCP port.
class NetworkSetEvent final : public MessageEvent {
public:
    static constexpr PrivateMessage NUMBER = WM_NETWORK_SET;
    explicit NetworkSetEvent(const PortSettings& settings) : MessageEvent(NUMBER), settings(settings) {}
    const PortSettings& settings;
};

// 0x405, interface page -> main window: the port kind chosen (PORT_COM ...
// PORT_LAN) and the page's record, already saved.
class PortChangedEvent final : public MessageEvent {
public:
    static constexpr PrivateMessage NUMBER = WM_PORT_CHANGED;
    PortChangedEvent(PortKind portKind, const PortSettings& settings)
        : MessageEvent(NUMBER), portKind(portKind), settings(settings) {}
    const PortKind portKind;
    const PortSettings& settings;
};

// 0x406, settings pages -> main window: the page's record, whose serial line
// the printer may have changed.
class SettingsChangedEvent final : public MessageEvent {
public:
    static constexpr PrivateMessage NUMBER = WM_SETTINGS_CHANGED;
    explicit SettingsChangedEvent(const PortSettings& settings) : MessageEvent(NUMBER), settings(settings) {}
    const PortSettings& settings;
};

// 0x407, label settings page -> itself: move the stored texts into the edits.
class RefreshFieldsEvent final : public MessageEvent {
public:
    static constexpr PrivateMessage NUMBER = WM_REFRESH_FIELDS;
    RefreshFieldsEvent() : MessageEvent(NUMBER) {}
};

// Whether `event` is one of the messages above.
inline bool IsPrivateMessage(const QEvent* event) {
    const int t = static_cast<int>(event->type());
    return t >= FIRST_PRIVATE_MESSAGE && t <= LAST_PRIVATE_MESSAGE && dynamic_cast<const MessageEvent*>(event);
}

// Hands `message` to `receiver`. On the GUI thread the receiver runs inside
// this call; from a worker the call waits until the GUI thread has run it (and
// returns without delivering when the worker's owner is shutting down).
void SendMessage(QObject* receiver, MessageEvent&& message);

} // namespace pemberlux
