// The settings page of the label printers: reads the printer's settings, lets
// the user change them and writes the changed ones back, restores the factory
// settings, calibrates labels, prints a self-test and reads the serial number,
// firmware version and print statistics. Every exchange runs on a worker of
// its own; the page bounds the wait for an answer with a window timer.
#pragma once

#include "label/LabelCommands.h"
#include "label/LabelSettings.h"
#include "platform/Window.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
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
        TIMER_REPLY_TIMEOUT = 2,
        TIMER_CLEAR_CHANGES = 3,
        TIMER_REFRESH = 4,
    };
    static constexpr int REPLY_TIMEOUT_MS = 3000;
    static constexpr int CLEAR_CHANGES_MS = 500;
    static constexpr int REFRESH_MS = 100;
    // Between the factory reset and reading the settings back.
    static constexpr int RESET_READ_BACK_DELAY_MS = 1000;

    explicit CPrintingSetupLB610_1(QWidget* parent = nullptr);
    ~CPrintingSetupLB610_1() override;

    // Sets the abort flag first, so a worker waiting for an answer ends at once.
    void StopWorkers() override;

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
    std::intptr_t OnMessage(int message, std::intptr_t wParam, std::intptr_t lParam) override;
    void OnTimer(int timerId) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // What a reading worker asks for; each has its own pending flag.
    enum Pending { PENDING_SETTINGS, PENDING_SERIAL_NUMBER, PENDING_FIRMWARE, PENDING_STATISTICS, PENDING_COUNT };

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

    // Worker side. Each gets the page's settings through the GUI thread.
    PortSettings SettingsSnapshot();
    void SetWorkerLanguage(const PortSettings& settings);
    void EnableButtons(bool enable);
    void PreparePort(const PortSettings& settings);
    // Opens the port and writes `frame`; on failure shows the message and
    // returns false.
    bool OpenAndWrite(const std::uint8_t* frame, std::size_t length);
    // The exchange of every reading worker: clear the reply buffer, open, write
    // the query, wait for the answer (bounded by the reply time-out), decode it
    // while it is still asked for, close.
    void ReadReply(const LabelFrame9& query, Pending pending);
    void Decode(Pending pending, std::size_t count);
    // Shows a serial-number, firmware-version or statistics reply in its read-only edit.
    void ApplyTextReply(LabelTextQuery query, std::span<const std::uint8_t> reply);
    void ReportSettings();
    // Waits `ms`, shorter when the page goes away; false then.
    bool Pause(int ms);

    void ReadSettingsThread();
    void ResetSettingsThread();
    void SendSettingsThread();
    void SelfTestThread();
    void CalibrateLabelThread();
    void ReadSerialNumberThread();
    void ReadFirmwareVersionThread();
    void PrintStatisticsThread();
    // The three text queries differ only in their frame and the field they fill.
    void ReadTextThread(Pending pending);

    // The text values of Print Home Offset, Cutting Position Offset and Black
    // Mark AD value; the lists keep their selection themselves.
    LabelSettingValues values_;
    LabelChangedMarks marks_;
    std::array<std::uint8_t, LB_REPLY_BUFFER_SIZE> reply_{};
    std::array<std::atomic<bool>, PENDING_COUNT> pending_{};
    std::atomic<bool> abort_{false};
    std::atomic<bool> closing_{false};
    // Serialises the workers: one exchange with the printer at a time.
    std::mutex lock_;
};

} // namespace pemberlux
