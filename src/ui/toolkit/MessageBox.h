// Message boxes. ShowMessage may be called from any thread: the box runs on the
// GUI thread, and a worker that calls it waits until the user has closed it.
// Tests install a MessageRecorder in place of the boxes.
#pragma once

#include "core/base/MessageIcon.h"
#include "core/base/StringId.h"
#include "core/port/PrinterPort.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace pemberlux {

enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageReply { Ok, Cancel, Yes, No };

// The caption of the program's message boxes.
std::string ApplicationTitle();

// Shows `text` in an application-modal box over `owner` (may be null) and
// returns the button the user pressed. No icon when `icon` is empty.
MessageReply ShowMessage(QWidget* owner, const std::string& text, std::optional<MessageIcon> icon,
                         MessageButtons buttons = MessageButtons::Ok);

// String `stringId` of the calling thread's language in a box (see ShowMessage).
MessageReply ShowString(QWidget* owner, StringId stringId, std::optional<MessageIcon> icon,
                        MessageButtons buttons = MessageButtons::Ok);

// The box for an error thrown by an open of a port of `kind`; nothing for the
// codes that have no message.
void ShowPortError(QWidget* owner, PortErrorCode code, PortKind kind, const OpenFailure& open = {});
// A port message and, when the open failed on a device, the line after it that
// says why (see OpenFailureLine).
void ShowOpenMessage(QWidget* owner, const PortErrorMessage& message, const OpenFailure& open);

struct RecordedMessage {
    std::string text;
    std::optional<MessageIcon> icon;
    MessageButtons buttons;
    bool fromGuiThread;
};

// While one exists, ShowMessage shows nothing: it records the box and answers
// with the reply given to the recorder (Ok or Yes unless told otherwise).
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<RecordedMessage> Messages() const;
    std::vector<std::string> Texts() const;
    std::size_t Count() const;
    void Clear();
    void SetReply(MessageReply reply);

    // Waits, running the GUI thread's events, until `count` boxes were recorded.
    bool WaitForCount(std::size_t count, std::chrono::milliseconds timeout) const;
};

} // namespace pemberlux
