// The Bluetooth settings dialog of the label printers: reads the module's
// name, password and MAC address, writes a new name and password, and
// restores the module's factory settings, each as a job over the interface
// chosen on the interface page.
#pragma once

#include "core/wireless/BluetoothFrames.h"
#include "ui/toolkit/Window.h"

#include <array>

namespace pemberlux {

class CBluetoothSetupDlg final : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 221;
    enum : int {
        IDC_OK = 1,
        IDC_GET = 1052,
        IDC_RESTORE = 1053,
        IDC_REMARK = 1230,
        IDC_SEND = 1231,
        IDC_NAME = 1232,
        IDC_PASSWORD = 1233,
        IDC_MAC = 1234,
    };
    // What every operation holds while it runs.
    static constexpr std::array<int, 4> JOB_BUTTONS{IDC_SEND, IDC_OK, IDC_GET, IDC_RESTORE};

    explicit CBluetoothSetupDlg(const PortSettings& settings, QWidget* parent = nullptr);
    ~CBluetoothSetupDlg() override;

    // The buttons' handlers; false when nothing was started (refused input, or
    // a job runs already).
    bool OnSendSettings();
    bool OnGetSettings();
    bool OnRestoreSettings();

private:
    bool StartBluetoothThread(BluetoothOperation operation, Bytes frame);
    // The read on the job's worker: the answer into the three edits.
    void ReadSettings(const std::stop_token& stop, const PortSettings& settings, const UsbSelection& usb);

    PortSettings settings_;
};

} // namespace pemberlux
