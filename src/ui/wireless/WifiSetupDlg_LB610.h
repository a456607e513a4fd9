// The Wi-Fi setup dialog of the label printers: mode, SSID, encryption, key,
// DHCP and addresses of the printer's Wi-Fi module, written in one frame over
// the interface chosen on the interface page, and the module's reset. Nothing
// is read back.
#pragma once

#include "core/wireless/WifiFrames.h"
#include "ui/toolkit/Window.h"

#include <array>
#include <cstdint>

namespace pemberlux {

class CWifiSetupDlg_LB610 final : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 217;
    enum : int {
        IDC_CONFIRM = 1208,
        IDC_RESET = 1209,
        IDC_MODE = 1210,
        IDC_ENCRYPTION = 1211,
        IDC_DHCP = 1212,
        IDC_IP_ADDRESS = 1213,
        IDC_SUBNET_MASK = 1214,
        IDC_GATEWAY = 1215,
        IDC_SSID = 1220,
        IDC_KEY_FORMAT = 1221,
        IDC_KEY = 1222,
        IDC_CLOSE = 1224,
        IDC_INSTRUCTION = 1226,
    };
    // What Confirm and " Reset Wi-Fi" hold while they run.
    static constexpr std::array<int, 3> JOB_BUTTONS{IDC_CONFIRM, IDC_RESET, IDC_CLOSE};

    // `settings`: the interface page's record, which chooses the interface and
    // the language of the messages.
    explicit CWifiSetupDlg_LB610(const PortSettings& settings, QWidget* parent = nullptr);
    ~CWifiSetupDlg_LB610() override;

    // The handlers, as the controls call them.
    void OnModeChanged();
    void OnSsidEdited();
    void OnEncryptionChanged();
    void OnKeyFormatChanged();
    void OnDhcpChanged();
    void OnAddressEdited(int id);
    // Confirm: false when the inputs are refused or a job runs already.
    bool OnConfirm();
    bool OnResetWifi();

    // The inputs are all there and the key suits the encryption; a wrong key
    // is told with string 219.
    bool CheckWifiInputs();
    bool CheckWifiKey();
    // The settings the controls hold now.
    WifiSettings CurrentSettings() const;
    void RestoreDefaults();

private:
    bool StartSend(Bytes frame, bool restoreAfter);

    PortSettings settings_;
    // Set when an input had a value (0 mode, 1 SSID, 2 encryption, 3 key
    // format, 4 key, 5 DHCP, 6 address, 7 mask, 8 gateway); 9 the key check.
    std::array<std::uint8_t, 10> flags_{0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
};

} // namespace pemberlux
