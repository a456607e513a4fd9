#include "ui/toolkit/MessageBox.h"

#include "core/base/UiText.h"
#include "core/port/PrinterPort.h"
#include "ui/toolkit/GuiThread.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace pemberlux {

namespace {

struct RecorderState {
    std::mutex mutex;
    bool active = false;
    std::vector<RecordedMessage> messages;
    MessageReply reply = MessageReply::Ok;
};

RecorderState& Recorder() {
    static RecorderState state;
    return state;
}

std::optional<MessageReply> Record(const std::string& text, std::optional<MessageIcon> icon, MessageButtons buttons) {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    if (!r.active) return std::nullopt;
    r.messages.push_back(RecordedMessage{text, icon, buttons, OnGuiThread()});
    MessageReply reply = r.reply;
    if (buttons == MessageButtons::YesNo) {
        if (reply == MessageReply::Ok) reply = MessageReply::Yes;
        if (reply == MessageReply::Cancel) reply = MessageReply::No;
    } else if (buttons == MessageButtons::Ok) {
        reply = MessageReply::Ok;
    }
    return reply;
}

QMessageBox::Icon QtIcon(std::optional<MessageIcon> icon) {
    if (!icon) return QMessageBox::NoIcon;
    switch (*icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Stop:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

MessageReply RunBox(QWidget* owner, const std::string& text, std::optional<MessageIcon> icon, MessageButtons buttons) {
    const QString body = QString::fromStdString(text);
    QMessageBox box(QtIcon(icon), QString::fromStdString(ApplicationTitle()), body, QMessageBox::NoButton, owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.setAccessibleName(QString::fromStdString(ApplicationTitle()));
    box.setAccessibleDescription(body);
    switch (buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return MessageReply::Cancel;
    case QMessageBox::Yes:
        return MessageReply::Yes;
    case QMessageBox::No:
        return MessageReply::No;
    default:
        return buttons == MessageButtons::YesNo ? MessageReply::No : MessageReply::Ok;
    }
}

} // namespace

std::string ApplicationTitle() {
    return "Pemberlux";
}

MessageReply ShowMessage(QWidget* owner, const std::string& text, std::optional<MessageIcon> icon,
                         MessageButtons buttons) {
    if (std::optional<MessageReply> recorded = Record(text, icon, buttons)) return *recorded;
    if (OnGuiThread()) return RunBox(owner, text, icon, buttons);
    // From a worker: the box belongs to the GUI thread; everything it needs is
    // copied, so nothing of the worker's is touched once it stops waiting.
    auto reply = std::make_shared<MessageReply>(MessageReply::Cancel);
    RunOnGuiThread([reply, owner = QPointer<QWidget>(owner), text, icon, buttons] {
        *reply = RunBox(owner.data(), text, icon, buttons);
    });
    return *reply;
}

MessageReply ShowString(QWidget* owner, StringId stringId, std::optional<MessageIcon> icon, MessageButtons buttons) {
    return ShowMessage(owner, LoadUiString(stringId), icon, buttons);
}

void ShowPortError(QWidget* owner, PortErrorCode code, PortKind kind, const OpenFailure& open) {
    if (std::optional<PortErrorMessage> m = ReportPortError(code, kind)) ShowOpenMessage(owner, *m, open);
}

void ShowOpenMessage(QWidget* owner, const PortErrorMessage& message, const OpenFailure& open) {
    std::string text = LoadUiString(message.stringId);
    if (const std::string line = OpenFailureLine(open); !line.empty()) text += "\n" + line;
    ShowMessage(owner, text, message.icon);
}

MessageRecorder::MessageRecorder() {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    r.active = true;
    r.messages.clear();
    r.reply = MessageReply::Ok;
}

MessageRecorder::~MessageRecorder() {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    r.active = false;
    r.messages.clear();
}

std::vector<RecordedMessage> MessageRecorder::Messages() const {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    return r.messages;
}

std::vector<std::string> MessageRecorder::Texts() const {
    std::vector<std::string> texts;
    for (const RecordedMessage& m : Messages())
        texts.push_back(m.text);
    return texts;
}

std::size_t MessageRecorder::Count() const {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    return r.messages.size();
}

void MessageRecorder::Clear() {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    r.messages.clear();
}

void MessageRecorder::SetReply(MessageReply reply) {
    RecorderState& r = Recorder();
    std::lock_guard lock(r.mutex);
    r.reply = reply;
}

bool MessageRecorder::WaitForCount(std::size_t count, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Count() < count) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        if (OnGuiThread()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace pemberlux
