// The network search of the print servers (every model but the label printers
// with their own network module): finds the print servers on the network,
// lists them, configures the chosen one and hands its address and port back to
// the interface page.
#pragma once

#include "core/network/PrintServerChannel.h"
#include "core/network/PrintServerWrite.h"
#include "ui/network/SearchDialog.h"

#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

class QTableWidget;

namespace pemberlux {

class CTR510EnthernetDlg final : public CSearchDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 167;
    enum : int {
        IDC_OK = 1,
        IDC_CANCEL = 2,
        IDC_LIST = 1200,
        IDC_SERIAL = 1201,
        IDC_DEVICE_NAME = 1202,
        IDC_MAC = 1203,
        IDC_IP = 1204,
        IDC_MONITOR_PORT = 1205,
        IDC_SETUP = 1206,
        IDC_SEARCH = 1207,
    };
    enum Column : int { COL_MAC = 0, COL_NAME = 1, COL_FIRMWARE = 2, COL_IP = 3 };

    // `owner` receives WM_NETWORK_SET on OK; the print servers answer on `port`.
    explicit CTR510EnthernetDlg(QObject* owner, QWidget* parent = nullptr, std::uint16_t port = PS_UDP_PORT);
    ~CTR510EnthernetDlg() override;

    // A copy of the page's record; its address and port are shown and replaced on OK.
    void SetSettings(const PortSettings& settings) { settings_ = settings; }
    const PortSettings& Settings() const { return settings_; }
    // The waits after each apply (tests shorten them).
    void SetTiming(const PsWriteTiming& timing) { timing_ = timing; }

    void OnInitDialog() override;

    // The handlers, as the controls call them; `row` -1 is a click beside the rows.
    void OnSearch() override;
    void OnRowClick(int row);
    void OnSetupPrinter() override;
    void OnOK() override;

protected:
    void done(int result) override;

private:
    void AddRow(const DiscoveryRecord& record);
    // The job after the configuration dialog's OK: the write, then with DHCP the follow-up.
    void WriteJob(const std::stop_token& stop, const DiscoveryRecord& target, const ConfigImage& saved, bool dhcp,
                  const PsWriteTiming& timing, const std::string& newIp, int newPort);
    // Shows `ip` in the rows of print server `target`, and in the address field while it shows that one.
    void ShowAddressOf(const DiscoveryRecord& target, const std::string& ip);

    QObject* owner_;
    PortSettings settings_;
    PsWriteTiming timing_;
    int lang_;
    PrintServerChannel channel_;
    // One search answer per row, in row order.
    std::vector<DiscoveryRecord> records_;
};

} // namespace pemberlux
