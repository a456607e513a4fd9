// The network search of the label printers with their own network module
// (key-value protocol): finds them, queries the clicked one, configures it over
// the network (or a printer attached by USB when none is selected) and hands
// the chosen address and port back to the interface page.
#pragma once

#include "core/network/KvClient.h"
#include "core/network/KvProtocol.h"
#include "ui/network/SearchDialog.h"

#include <cstdint>
#include <string>
#include <vector>

class QSocketNotifier;
class QTableWidget;

namespace pemberlux {

struct NetUsbSettings;

class CEnternetSetting final : public CSearchDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 151;
    enum : int {
        IDC_OK = 1,
        IDC_CANCEL = 2,
        IDC_SETUP = 4,
        IDC_SEARCH = 5,
        IDC_LIST = 1131,
        IDC_DEVICE_NAME = 1133,
        IDC_IP = 1134,
        IDC_MAC = 1135,
        IDC_SERIAL = 1136,
        IDC_MONITOR_PORT = 1137,
    };
    enum Column : int { COL_SERIAL = 0, COL_MAC = 1, COL_NAME = 2, COL_FIRMWARE = 3, COL_IP = 4 };
    // Timer 1 consumes what the protocol's receiver found.
    enum : int { TIMER_POLL = 1 };
    static constexpr int POLL_MS = 100;

    // `owner` receives WM_NETWORK_SET on OK; the printers are on `port`.
    explicit CEnternetSetting(QObject* owner, QWidget* parent = nullptr, std::uint16_t port = KV_UDP_PORT,
                              KvTiming timing = {});
    ~CEnternetSetting() override;

    void SetSettings(const PortSettings& settings) { settings_ = settings; }
    const PortSettings& Settings() const { return settings_; }

    // Opens the protocol's sockets, starts the timer and runs the dialog.
    void OnInitDialog() override;

    // The handlers, as the controls call them; `row` -1 is a click beside the rows.
    void OnSearch() override;
    void OnRowClick(int row);
    void OnRowDoubleClick(int row);
    void OnSetupPrinter() override;
    void OnOK() override;
    // The receiving socket is readable.
    void OnSocketNotify();

    bool ConfiguredOverUsb() const { return configuredOverUsb_; }
    // The dialog's key-value client (its sockets, exchange state and tables).
    KvClient& Session() { return client_; }

protected:
    void OnTimer(int timerId) override;
    void done(int result) override;

private:
    void ShowRows(const std::vector<FoundPrinter>& rows);
    void SetRow(int row, const FoundPrinter& printer);
    void ConfigureSelected(const std::string& mac, const std::string& serial);
    void ConfigureOverUsb();
    void CloseSession();

    QObject* owner_;
    PortSettings settings_;
    std::uint16_t port_;
    int lang_;
    KvClient client_;
    QSocketNotifier* notifier_ = nullptr;
    // The printers of the list as they answered, in row order (their texts go back as they came).
    std::vector<FoundPrinter> rows_;
    bool configuredOverUsb_ = false;
};

} // namespace pemberlux
