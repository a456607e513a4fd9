// A network printer's configuration: its identity, DHCP, addresses, monitor
// port and printing time-out. In print-server mode the dialog reads the print
// server's configuration itself; in key-value mode it shows the last reply of
// the selected label printer. It only collects the values: the search dialog
// that opened it writes them to the printer.
#pragma once

#include "core/network/NetConfig.h"
#include "core/network/PrintServerChannel.h"
#include "ui/toolkit/Window.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace pemberlux {

class CEdtCfgDlg final : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 129;
    enum : int {
        IDC_OK = 1,
        IDC_CANCEL = 2,
        IDC_DEVICE_NAME = 1003,
        IDC_FW_VERSION = 1004,
        IDC_MAC = 1007,
        IDC_MONITOR_PORT = 1016,
        IDC_PRINT_TIMEOUT = 1017,
        IDC_SERIAL = 1020,
        IDC_DHCP = 1022,
        IDC_IP = 1024,
        IDC_MASK = 1025,
        IDC_GATEWAY = 1026,
        IDC_CURRENT_IP = 1027,
    };
    static constexpr int PORT_MIN = 9000, PORT_MAX = 9999;
    static constexpr int TIMEOUT_MIN = 0, TIMEOUT_MAX = 300;

    explicit CEdtCfgDlg(QWidget* parent = nullptr);
    ~CEdtCfgDlg() override;

    // Print-server mode, before opening: the texts the opener shows for the
    // print server and its search answer; the dialog reads over `port`.
    void SetPrintServerMode(const std::string& deviceName, const std::string& mac, const std::string& serial,
                            const DiscoveryRecord& record, std::uint16_t port = PS_UDP_PORT);
    // Key-value mode, before opening: the selected printer's MAC as sent, and its
    // answer to the opener's query (none when its query went unanswered).
    void SetKeyValueMode(const std::string& mac, const std::optional<KvConfigValues>& answer = {});
    // The language of the read job's messages ("Chinese" or other).
    void SetLanguage(const std::string& settingsLanguage) { language_ = settingsLanguage; }

    // Fills the controls (print-server mode: starts the read) and runs the dialog.
    int DoModal();
    void OnInitDialog();

    void OnOK();
    void OnDhcpChanged();

    // After OK.
    bool PrintServerMode() const { return printServer_; }
    const Ipv4Octets& CurrentIp() const { return currentIp_; }
    const Ipv4Octets& Ip() const { return ip_; }
    const Ipv4Octets& Mask() const { return mask_; }
    const Ipv4Octets& Gateway() const { return gateway_; }
    int DhcpChoice() const { return dhcp_; }
    int MonitorPort() const { return monitorPort_; }
    int PrintTimeout() const { return printTimeout_; }
    // Print-server mode: the image as read, and whether the read succeeded.
    const ConfigImage& Image() const { return channel_->Image(); }
    bool ConfigRead() const { return configRead_; }
    // Key-value mode: the values of a set with the values of this dialog.
    KvSetValues SetValues() const;

protected:
    void done(int result) override;

private:
    void StartRead();
    void ShowReadConfig(const DiscoveryRecord& record, const ConfigImage& image);
    void ShowReply();
    // Reads an integer edit; false (after the range prompt) when out of range.
    bool TakeInteger(int id, int min, int max, int& value);

    int lang_;
    std::string language_;
    bool printServer_ = false;
    std::string mac_;
    DiscoveryRecord record_;
    std::unique_ptr<PrintServerChannel> channel_;
    bool configRead_ = false;
    bool answered_ = false;
    KvConfigValues reply_;

    Ipv4Octets currentIp_{}, ip_{}, mask_{}, gateway_{};
    int dhcp_ = -1;
    int monitorPort_ = 0;
    int printTimeout_ = 0;
};

} // namespace pemberlux
