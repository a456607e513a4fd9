// The settings page of the label printers: reads the printer's settings, lets
// the user change them and writes the changed ones back, restores the factory
// settings, calibrates labels, prints a self-test and reads the serial number,
// firmware version and print statistics. Every exchange is a job of its own;
// while one runs, the page's buttons are off.
#pragma once

#include "core/label/LabelCommands.h"
#include "core/label/LabelSettings.h"
#include "core/port/Exchange.h"
#include "ui/toolkit/Window.h"

#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>
#include <string>

class QComboBox;
class QLineEdit;

namespace pemberlux {

class CPrintingSetupLB610_1 final : public CPage {
    Q_OBJECT
public:
    static constexpr int IDD = IDD_PRINTING_SETUP_LB610;

    // Window timers of the page.
    enum : int {
        TIMER_CLEAR_CHANGES = 3,
        TIMER_REFRESH = 4,
    };
    // How long the printer has to begin an answer.
    static constexpr int REPLY_TIMEOUT_MS = static_cast<int>(LB_REPLY_TIMEOUT.count());
    static constexpr int CLEAR_CHANGES_MS = 500;
    static constexpr int REFRESH_MS = 100;
    // Between the factory reset and reading the settings back.
    static constexpr int RESET_READ_BACK_DELAY_MS = 1000;

    explicit CPrintingSetupLB610_1(QWidget* parent = nullptr);
    ~CPrintingSetupLB610_1() override;

    QComboBox* List(int pos) const;
    QLineEdit* Edit(int pos) const;

    // The changed marks, by setting position.
    const LabelChangedMarks& ChangedMarks() const { return marks_; }

    // The button handlers, as the buttons call them.
    void OnGetPrinterSettings();
    void OnResetAllSettings();
    void OnSendSettings();
    void OnPrintSelfTest();
    void OnCalibrateLabel();
    void OnGetSerialNumber();
    void OnGetFirmwareVersion();
    void OnPrintStatistics();

protected:
    void OnMessage(const MessageEvent& message) override;
    void OnTimer(int timerId) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    using Snapshot = PortSnapshot;
    // What a reading job asks for.
    enum class Query { Settings, SerialNumber, FirmwareVersion, Statistics };

    void BuildPage();
    void ConnectControls();

    // The three text values and their edits.
    void MoveValuesToControls();
    void MoveControlsToValues();
    // Selections of the lists and the stored texts, as BuildSettingsFrame and
    // ApplySettingsReply take them.
    LabelSettingValues CurrentValues() const;
    void OnListChanged(int pos);
    void OnEditChanged(int pos);
    void ApplyEmulationListRule();

    // Starts `body` as a job holding the page's buttons.
    void StartPageJob(std::function<void(std::stop_token, const Snapshot&)> body);

    // Job side.
    // The exchange of every reading job: write the query, wait for the answer,
    // show what arrived (also when it came late), report failures.
    void ReadJob(const std::stop_token& stop, const Snapshot& snapshot, Query query);
    void Decode(Query query, std::span<const std::uint8_t> reply);
    // Shows a serial-number, firmware-version or statistics reply in its read-only edit.
    void ApplyTextReply(LabelTextQuery query, std::span<const std::uint8_t> reply);
    void SendJob(const std::stop_token& stop, const Snapshot& snapshot, std::span<const std::uint8_t> frame);
    void ResetJob(const std::stop_token& stop, const Snapshot& snapshot);

    // The text values of Print Home Offset, Cutting Position Offset and Black
    // Mark AD value; the lists keep their selection themselves.
    LabelSettingValues values_;
    LabelChangedMarks marks_;
};

} // namespace pemberlux
