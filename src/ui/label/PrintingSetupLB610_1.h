// The settings page of the label printers: reads the printer's settings, lets
// the user change them and writes the changed ones back, restores the factory
// settings, calibrates labels, prints a self-test and reads the serial number,
// firmware version and print statistics. Every exchange is a job of its own;
// while one runs, the page's buttons are off.
#pragma once

#include "core/label/LabelCommands.h"
#include "core/label/LabelSettings.h"
#include "ui/label/LabelControls.h"
#include "ui/toolkit/SettingsPage.h"

#include <cstdint>
#include <span>
#include <stop_token>
#include <string>

namespace pemberlux {

class CPrintingSetupLB610_1 final : public CSettingsPage<LabelControl, LabelSettingValues, LabelChangedMarks> {
    Q_OBJECT
public:
    static constexpr int IDD = IDD_PRINTING_SETUP_LB610;

    // Window timers of the page; the refresh is the settings pages' own.
    enum : int {
        TIMER_CLEAR_CHANGES = 3,
    };
    // How long the printer has to begin an answer.
    static constexpr int REPLY_TIMEOUT_MS = static_cast<int>(LB_REPLY_TIMEOUT.count());
    static constexpr int CLEAR_CHANGES_MS = 500;

    explicit CPrintingSetupLB610_1(QWidget* parent = nullptr);
    ~CPrintingSetupLB610_1() override;

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
    void BuildPage();
    void OnEditChanged(int pos) override;
    // The edits are refreshed through WM_REFRESH_FIELDS.
    void RefreshFields() override;
    // What Get FW Version has shown.
    std::string KnownFirmwareVersion() const override;
    void ApplyEmulationListRule();

    // Job side: a text query, its answer shown in its read-only edit.
    void ReadTextJob(const std::stop_token& stop, const Snapshot& snapshot, LabelTextQuery query);
    void ApplyTextReply(LabelTextQuery query, std::span<const std::uint8_t> reply);
};

} // namespace pemberlux
