// The network settings of a printer attached by USB: DHCP, IP address, subnet
// mask and gateway. The search dialog of the label printers opens it when no
// network printer is selected and sends the result over USB.
#pragma once

#include "core/network/NetConfig.h"
#include "ui/toolkit/Window.h"

namespace pemberlux {

class CEdtCfgDlgUSB final : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 160;
    enum : int {
        IDC_OK = 1,
        IDC_CANCEL = 2,
        IDC_DHCP = 1022,
        IDC_IP = 1024,
        IDC_MASK = 1025,
        IDC_GATEWAY = 1026,
    };

    explicit CEdtCfgDlgUSB(QWidget* parent = nullptr);

    void OnOK();
    void OnDhcpChanged();

    // After OK: what the USB frame carries.
    const NetUsbSettings& Values() const { return values_; }
    int DhcpChoice() const { return values_.dhcp; }

private:
    NetUsbSettings values_;
};

} // namespace pemberlux
