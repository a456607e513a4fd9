// The settings page of the receipt printers: reads the printer's settings,
// lets the user change them and sends the changed ones back, and restores the
// factory settings. Every exchange is a job of its own; while one runs, the
// three buttons are off.
#pragma once

#include "core/port/Exchange.h"
#include "core/receipt/ReceiptCommands.h"
#include "core/receipt/ReceiptSettings.h"
#include "ui/toolkit/Window.h"

#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>

class QComboBox;
class QLineEdit;

namespace pemberlux {

class CInternalSetupTR510 final : public CPage {
    Q_OBJECT
public:
    static constexpr int IDD = IDD_INTERNAL_SETUP_TR510;

    // Window timers of the page. The reply time-out bounds the read itself.
    enum : int {
        TIMER_REPLY_TIMEOUT = 2,
        TIMER_REFRESH = 4,
    };
    static constexpr int REPLY_TIMEOUT_MS = static_cast<int>(RC_REPLY_TIMEOUT.count());
    static constexpr int REFRESH_MS = 100;
    // Between the restore and reading the settings back.
    static constexpr int RESTORE_READ_BACK_DELAY_MS = 1000;

    explicit CInternalSetupTR510(QWidget* parent = nullptr);
    ~CInternalSetupTR510() override;

    void SetSettings(const PortSettings& settings) override;

    QComboBox* List(int pos) const;
    QLineEdit* Edit(int pos) const;

    // The changed marks, by setting position.
    const ReceiptChangedMarks& ChangedMarks() const { return marks_; }

    // The button handlers, as the buttons call them.
    void OnGetPrinterSettings();
    void OnSendSettings();
    void OnRestoreAllSettings();

protected:
    void OnTimer(int timerId) override;
    void showEvent(QShowEvent* event) override;

private:
    using Snapshot = PortSnapshot;

    void BuildPage();
    void ConnectControls();

    // The lists' selections and the distance texts, as the frame takes them.
    ReceiptSettingValues CurrentValues() const;
    void MoveValuesToControls();
    void OnListChanged(int pos);
    void OnEditChanged(int pos);
    // Shows or hides the cutter setting by the model and applies its mark.
    void ApplyCutterRuleToControls();

    void StartPageJob(std::function<void(std::stop_token, const Snapshot&)> body);

    // Job side.
    void ReadJob(const std::stop_token& stop, const Snapshot& snapshot);
    void Decode(std::span<const std::uint8_t> reply);
    void SendJob(const std::stop_token& stop, const Snapshot& snapshot, std::span<const std::uint8_t> frame);
    void RestoreJob(const std::stop_token& stop, const Snapshot& snapshot, const ReceiptRestoreFrame& frame);

    // The distance texts; the lists keep their selection themselves.
    ReceiptSettingValues values_;
    ReceiptChangedMarks marks_;
};

} // namespace pemberlux
