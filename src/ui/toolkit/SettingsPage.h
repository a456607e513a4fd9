// The common base of the printer settings pages. A settings page shows a
// family's settings as lists and edits, marks the ones the user changes, reads
// the printer's settings into them, sends the marked ones and resets the
// printer to its factory settings. Every exchange is a job holding the page's
// action buttons.
//
// CSettingsPageBase has what needs no knowledge of a family's values: the row
// and button builders, the page job, the read, send and reset jobs, the refresh
// after a read and the profile buttons. CSettingsPage adds the lists and edits
// of a family's setting table, its values and changed marks, and what saving
// and loading a profile does with them.
#pragma once

#include "core/base/PortSettings.h"
#include "core/port/Exchange.h"
#include "core/port/Job.h"
#include "core/port/PortCommands.h"
#include "core/port/PrinterPort.h"
#include "core/port/SettingSchema.h"
#include "core/profile/PageProfile.h"
#include "ui/toolkit/Window.h"

#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <span>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

class QGridLayout;
class QHBoxLayout;

namespace pemberlux {

class CSettingsPageBase : public CPage {
public:
    // Window timer of the refresh after every read.
    static constexpr int TIMER_REFRESH = 4;
    static constexpr int REFRESH_MS = 100;
    // "Save profile…" and "Load profile…": ids that neither settings template uses.
    static constexpr int IDC_SAVE_PROFILE = 1401;
    static constexpr int IDC_LOAD_PROFILE = 1402;

protected:
    using Snapshot = PortSnapshot;
    // One exchange on the job's port.
    using Query = std::function<ExchangeResult(PrinterPort&, const JobLimits&)>;

    CSettingsPageBase(int dialogId, std::span<const int> actionButtons, QWidget* parent);

    // ---- Builders ----
    // A setting's caption (from its label control's template text) at (row,
    // column) and its list at (row, column + 1), filled with `items` and
    // without a selection: nothing is sent for it until the user picks.
    QComboBox* AddListRow(QGridLayout* grid, int row, int column, int control, int labelControl,
                          const std::vector<std::string>& items);
    // The same with an edit.
    QLineEdit* AddEditRow(QGridLayout* grid, int row, int column, int control, int labelControl);
    static void FillList(QComboBox* list, const std::vector<std::string>& items);
    // A button with its template text; Enter never presses it.
    QPushButton* AddButton(int id);
    // Black tooltips, each a control and its string id.
    template <class Tips> void AddToolTips(const Tips& tips) {
        SetToolTipColour(QColor(0, 0, 0));
        for (const auto& tip : tips)
            AddToolTip(tip.control, tip.stringId);
    }
    template <class Page>
    void ConnectButtons(Page* page, std::initializer_list<std::pair<int, void (Page::*)()>> handlers) {
        for (const auto& [id, handler] : handlers)
            connect(ControlAs<QPushButton>(id), &QPushButton::clicked, this, [page, handler] { (page->*handler)(); });
    }

    // The row of the two profile buttons, for the page to place under its own.
    QHBoxLayout* AddProfileButtons();

    // ---- Profiles ----
    // The buttons ask for a file, then save what the page shows into it or load
    // it into the page. Loading fills the controls and marks what it changed;
    // neither talks to the printer.
    void OnSaveProfile();
    void OnLoadProfile();
    virtual void SaveProfileTo(const std::string& path) = 0;
    virtual void LoadProfileFrom(const std::string& path) = 0;
    // The page's printer as profiles see it.
    ProfileTarget Target() const;
    // The firmware version the page has read; empty when it knows none.
    virtual std::string KnownFirmwareVersion() const { return {}; }
    // The message for a profile not saved or loaded.
    void ShowProfileRefusal(const ProfileOutcome& outcome, const std::string& path);
    // Shows which controls a loaded profile changed (a tint, and their
    // accessible description says so) until the settings are read or sent.
    void HighlightProfileChanges(const std::vector<int>& controls);
    void ClearProfileHighlights();

    // ---- Jobs ----
    // Starts `body` as a job holding the action and profile buttons.
    void StartPageJob(std::function<void(std::stop_token, const Snapshot&)> body);
    // A reading job: `query`, then `show` with the reply when one came (also a
    // late one: the user is told it was late), the message of a failure, and
    // the refresh, whatever happened, unless the job was stopped.
    void ReadJob(const std::stop_token& stop, const Snapshot& snapshot, const Query& query,
                 const std::function<void(std::span<const std::uint8_t>)>& show);
    // What a read brought, as ReadJob shows it.
    void ShowRead(const ExchangeResult& result, PortKind portKind,
                  const std::function<void(std::span<const std::uint8_t>)>& show);
    // Reads the printer's settings into the page (the family's query and reply).
    virtual void ReadSettingsJob(const std::stop_token& stop, const Snapshot& snapshot) = 0;
    // Shows a settings read the page did not start itself (a reset's read-back).
    virtual void ShowSettingsRead(const ExchangeResult& result, PortKind portKind) = 0;
    // A command without an answer: `frame`, and the message of a failure.
    ExchangeResult SendJob(const std::stop_token& stop, const Snapshot& snapshot, std::span<const std::uint8_t> frame);
    // The family's factory reset (RunFactoryReset), `taken` once the printer
    // took the frame (where the line changes at once, on the GUI thread right
    // after the hand-over): the page and the main window take the factory line
    // over when the family's printer changes to it, and the read-back shows as
    // a read.
    void ResetJob(const std::stop_token& stop, const Snapshot& snapshot, const FactoryResetSequence& sequence,
                  const std::function<void()>& taken = {});
    // Whether a read whose open or write failed still ends with the refresh.
    bool refreshAfterPortFailure_ = true;

    // TIMER_REFRESH: the main window hears the page's settings and the edits
    // show the page's values.
    void OnRefreshTimer();
    virtual void RefreshFields() = 0;
    void ReportSettings();

private:
    std::vector<int> actionButtons_;
    // The highlighted controls, with the palette each had before.
    std::map<int, QPalette> highlighted_;
};

// A setting's controls on its family's page: its list or edit and its label.
// Whether it is a list, the family's schema says.
template <std::size_t N, const std::array<SettingEntry, N>& Schema> struct SettingControl {
    int pos;
    int control;
    int labelControl;
    bool IsList() const { return Schema[static_cast<std::size_t>(pos)].IsList(); }
};

// A page's tooltip: the control and its string.
struct ControlTip {
    int control;
    StringId stringId;
};

// `Info` is a family's setting row (a SettingControl),
// `Values` what its controls hold (selection and text by position), `Marks`
// its changed marks.
template <class Info, class Values, class Marks> class CSettingsPage : public CSettingsPageBase {
public:
    QComboBox* List(int pos) const { return ControlAs<QComboBox>(InfoOf(pos).control); }
    QLineEdit* Edit(int pos) const { return ControlAs<QLineEdit>(InfoOf(pos).control); }
    // The changed marks, by setting position.
    const Marks& ChangedMarks() const { return marks_; }

protected:
    // How the family's settings are read: the query and its reply within
    // `timeout`, and what the reply says (the serial line into the settings,
    // each setting into the values).
    struct Protocol {
        ExchangeResult (*query)(PrinterPort&, const JobLimits&, std::chrono::milliseconds);
        std::chrono::milliseconds timeout;
        void (*decode)(std::span<const std::uint8_t>, PortSettings&, Values&);
    };

    CSettingsPage(int dialogId, std::span<const Info> table, std::span<const int> actionButtons, Protocol protocol,
                  QWidget* parent)
        : CSettingsPageBase(dialogId, actionButtons, parent), table_(table), protocol_(protocol) {}

    // Once the page is built: tooltips, the settings' controls and the buttons.
    template <class Page, class Tips>
    void WireControls(Page* page, const Tips& tips,
                      std::initializer_list<std::pair<int, void (Page::*)()>> buttonHandlers) {
        AddToolTips(tips);
        ConnectSettings();
        ConnectButtons(page, buttonHandlers);
    }

    const Info& InfoOf(int pos) const { return table_[static_cast<std::size_t>(pos)]; }

    // A list marks its setting on the user's choice only, not on a selection
    // the page sets; an edit goes to OnEditChanged on the user's typing.
    void ConnectSettings() {
        for (const Info& info : table_) {
            const int pos = info.pos;
            if (info.IsList()) {
                connect(List(pos), &QComboBox::activated, this, [this, pos] { marks_.set(Index(pos)); });
            } else {
                connect(Edit(pos), &QLineEdit::textEdited, this, [this, pos] { OnEditChanged(pos); });
            }
        }
    }
    virtual void OnEditChanged(int pos) = 0;

    // The lists' selections and the stored texts.
    Values CurrentValues() const {
        Values values = values_;
        for (const Info& info : table_)
            if (info.IsList()) values.selection[Index(info.pos)] = List(info.pos)->currentIndex();
        return values;
    }
    void MoveValuesToControls() {
        for (const Info& info : table_)
            if (!info.IsList()) Edit(info.pos)->setText(QString::fromStdString(values_.text[Index(info.pos)]));
    }
    void MoveControlsToValues() {
        for (const Info& info : table_)
            if (!info.IsList()) values_.text[Index(info.pos)] = Edit(info.pos)->text().toStdString();
    }
    void RefreshFields() override { MoveValuesToControls(); }

    void ReadSettingsJob(const std::stop_token& stop, const Snapshot& snapshot) override {
        ReadJob(
            stop, snapshot,
            [this](PrinterPort& port, const JobLimits& job) { return protocol_.query(port, job, protocol_.timeout); },
            [this](std::span<const std::uint8_t> reply) { ShowSettingsReply(reply); });
    }
    void ShowSettingsRead(const ExchangeResult& result, PortKind portKind) override {
        ShowRead(result, portKind, [this](std::span<const std::uint8_t> reply) { ShowSettingsReply(reply); });
    }
    // The lists show a settings reply at once, the edits at the refresh.
    void ShowSettingsReply(std::span<const std::uint8_t> reply) {
        RunOnGuiThread([this, reply] {
            ClearProfileHighlights();
            Values values = CurrentValues();
            protocol_.decode(reply, settings_, values);
            for (const Info& info : table_) {
                const std::size_t i = Index(info.pos);
                if (info.IsList()) {
                    List(info.pos)->setCurrentIndex(values.selection[i]);
                } else {
                    values_.text[i] = values.text[i];
                }
            }
        });
    }

    // What Send Settings would send from: the values as the page holds them.
    void SaveProfileTo(const std::string& path) override {
        const ProfileOutcome outcome = SaveProfile(path, CurrentValues(), Target(), KnownFirmwareVersion());
        if (outcome.refusal != ProfileRefusal::None) ShowProfileRefusal(outcome, path);
    }
    // A setting the profile changes shows its value and is marked, so that Send
    // Settings sends it; the others stay as they are.
    void LoadProfileFrom(const std::string& path) override {
        const auto load = LoadProfile(path, CurrentValues(), Target());
        if (load.refusal != ProfileRefusal::None) {
            ShowProfileRefusal(load, path);
            return;
        }
        std::vector<int> changed;
        for (const Info& info : table_) {
            const std::size_t i = Index(info.pos);
            if (!load.changed.test(i)) continue;
            if (info.IsList()) {
                List(info.pos)->setCurrentIndex(load.values.selection[i]);
            } else {
                values_.text[i] = load.values.text[i];
                Edit(info.pos)->setText(QString::fromStdString(values_.text[i]));
            }
            marks_.set(i);
            changed.push_back(info.control);
        }
        HighlightProfileChanges(changed);
    }

    static std::size_t Index(int pos) { return static_cast<std::size_t>(pos); }

    // The edits' texts; the lists keep their selection themselves.
    Values values_;
    Marks marks_;

private:
    std::span<const Info> table_;
    Protocol protocol_;
};

} // namespace pemberlux
