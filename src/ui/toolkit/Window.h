// The common base of the program's pages and dialogs: controls found by their
// numeric id, tooltips from the string table, private messages, window timers
// and the jobs that talk to printers.
//
// A page derives from CPage, a dialog from CDialog. In its constructor it
// creates its controls and registers each with Bind(id, widget); everything
// else (handlers, tests, the main window) reaches a control with Control(id).
// Private messages arrive in OnMessage(), timers in OnTimer(). Every exchange
// with a printer is a job started with StartJob(...): the controls that start
// jobs are disabled before it starts and given back when it ends. A job runs on
// a worker and changes controls only through the thread-safe calls below
// (EnableControl, ShowControl, SetControlText, SetTimer, KillTimer,
// SendMessage, ShowMessage) or RunOnGuiThread. A class whose jobs use its own
// members calls StopWorkers() first thing in its destructor; a window that
// started a job and did not is stopped at once with a diagnostic.
#pragma once

#include "core/base/PortSettings.h"
#include "core/base/StringId.h"
#include "core/port/Exchange.h"
#include "core/port/PrinterPort.h"
#include "ui/toolkit/GuiThread.h"

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

class QColor;
class QFont;
class QHBoxLayout;
class QTimer;

namespace pemberlux {

class MessageEvent;

class CWindowBase {
public:
    virtual ~CWindowBase();
    CWindowBase(const CWindowBase&) = delete;
    CWindowBase& operator=(const CWindowBase&) = delete;

    // The id of the template this window was built from (105, 109, ...).
    int DialogId() const { return dialogId_; }

    QWidget* Control(int id) const;
    template <class T> T* ControlAs(int id) const { return qobject_cast<T*>(Control(id)); }
    std::vector<int> ControlIds() const;

    // From any thread; a worker waits until the GUI thread has made the change.
    void EnableControl(int id, bool enable);
    void ShowControl(int id, bool show);
    // Sets a label, button or group caption and the accessible name with it.
    void SetControlText(int id, const std::string& text);
    // Text of a label, button, group box, edit, or current entry of a list.
    std::string ControlText(int id) const;
    // Text `key` of this window's template ("caption", "1047", "group.Interface")
    // in the calling thread's language, as the string type the caller takes.
    class TemplateString {
    public:
        explicit TemplateString(std::string text) : text_(std::move(text)) {}
        operator std::string() const { return text_; }
        operator QString() const { return QString::fromStdString(text_); }
        const std::string& toStdString() const { return text_; }

    private:
        std::string text_;
    };
    TemplateString Text(const std::string& key) const;

    // Window timers: OnTimer(timerId) every `ms` until KillTimer. Setting a
    // running timer starts it anew. From any thread.
    void SetTimer(int timerId, int ms);
    void KillTimer(int timerId);
    bool TimerActive(int timerId) const;

    // Starts a job on a worker of this window, on the GUI thread: the controls
    // `holds` are disabled now and given back when the job ends (a control that
    // several jobs hold comes back when the last ends; an EnableControl meanwhile
    // takes effect then). Refused, false, while a running job holds one of them,
    // so a second click cannot queue a second job.
    bool StartJob(std::vector<int> holds, std::function<void(std::stop_token)> body);
    // Whether a running job holds control `id`.
    bool Held(int id) const;
    // Shows the message an exchange's result calls for, if any (from any thread).
    void ReportExchange(const ExchangeResult& result, PortKind portKind);
    int WorkersRunning() const { return workers_.Running(); }
    // Stops the jobs (their port steps end at once), joins them and gives back
    // the controls they held.
    void StopWorkers();

protected:
    CWindowBase(QWidget* self, int dialogId);

    // Registers `widget` as control `id`. Its accessible name is
    // `accessibleName`, or else its own caption.
    template <class W> W* Bind(int id, W* widget, const std::string& accessibleName = std::string()) {
        BindWidget(id, widget, accessibleName);
        return widget;
    }
    void BindWidget(int id, QWidget* widget, const std::string& accessibleName);

    // Tooltip of control `id`: string `stringId` in the window's language.
    void AddToolTip(int id, StringId stringId);
    // Text colour of this window's tooltips.
    void SetToolTipColour(const QColor& colour);

    // A private message (Messages.h) sent to this window; As<...>() tells which.
    virtual void OnMessage(const MessageEvent& message);
    virtual void OnTimer(int timerId);

    // Called from event(): delivers private messages; true when handled.
    bool DispatchPrivateMessage(QEvent* event);

private:
    QWidget* self_;
    int dialogId_;
    std::map<int, QPointer<QWidget>> controls_;
    std::map<int, bool> namedExplicitly_;
    std::map<int, QTimer*> timers_;
    // Jobs holding each control, and the state it returns to when the last ends.
    std::map<int, int> holds_;
    std::map<int, bool> wanted_;
    Workers workers_;
};

// A page shown inside the main window. It keeps its own copy of the interface
// settings; the main window hands it every change. Each job builds its port
// from a snapshot of it.
class CPage : public QWidget, public CWindowBase {
    Q_OBJECT
public:
    CPage(int dialogId, QWidget* parent = nullptr);
    ~CPage() override;

    const PortSettings& Settings() const { return settings_; }
    // The main window's copy of the master record.
    virtual void SetSettings(const PortSettings& settings) { settings_ = settings; }

protected:
    bool event(QEvent* event) override;

    // What a job needs of the page to reach the printer, taken when it starts.
    struct PortSnapshot {
        PortSettings settings;
        UsbSelection usb;
    };
    PortSnapshot TakePortSnapshot() const;
    // StartJob with the page's settings and the USB selection as they are now,
    // the job speaking the page's language.
    bool StartPortJob(std::vector<int> holds, std::function<void(std::stop_token, const PortSnapshot&)> body);

    // The window that pages report to (the main window).
    QWidget* Owner() const { return window(); }

    PortSettings settings_;
};

// A dialog run modally by a page.
class CDialog : public QDialog, public CWindowBase {
    Q_OBJECT
public:
    CDialog(int dialogId, QWidget* parent = nullptr);
    ~CDialog() override;

protected:
    bool event(QEvent* event) override;
    // The buttons at a dialog's foot (OK, Cancel, ...), right-aligned, with their
    // template texts; Enter presses none of them. The caller adds the row to its layout.
    QHBoxLayout* ButtonRow(std::initializer_list<int> ids);
};

// The font of a window built from template `dialogId` in the calling thread's language.
void ApplyTemplateFont(QWidget* window, int dialogId);
QFont TemplateFont(int dialogId, const QFont& base);
// `requested` followed by the fonts that stand in for them on this system.
QStringList UiFontFamilies(const QStringList& requested);

} // namespace pemberlux
