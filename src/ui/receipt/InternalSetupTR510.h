// The settings page of the receipt printers: reads the printer's settings,
// lets the user change them and sends the changed ones back, and restores the
// factory settings. Every exchange is a job of its own; while one runs, the
// three buttons are off.
#pragma once

#include "core/receipt/ReceiptCommands.h"
#include "core/receipt/ReceiptSettings.h"
#include "ui/receipt/ReceiptControls.h"
#include "ui/toolkit/SettingsPage.h"

namespace pemberlux {

class CInternalSetupTR510 final : public CSettingsPage<ReceiptControl, ReceiptSettingValues, ReceiptChangedMarks> {
    Q_OBJECT
public:
    static constexpr int IDD = IDD_INTERNAL_SETUP_TR510;

    // Window timers of the page besides the settings pages' refresh. The reply
    // time-out bounds the read itself.
    enum : int {
        TIMER_REPLY_TIMEOUT = 2,
    };
    static constexpr int REPLY_TIMEOUT_MS = static_cast<int>(RC_REPLY_TIMEOUT.count());

    explicit CInternalSetupTR510(QWidget* parent = nullptr);
    ~CInternalSetupTR510() override;

    void SetSettings(const PortSettings& settings) override;

    // The button handlers, as the buttons call them.
    void OnGetPrinterSettings();
    void OnSendSettings();
    void OnRestoreAllSettings();

protected:
    void OnTimer(int timerId) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildPage();
    void OnEditChanged(int pos) override;
    // Shows or hides the cutter setting by the model and applies its mark.
    void ApplyCutterRuleToControls();
};

} // namespace pemberlux
