#include "ui/network/TR510EnthernetDlg.h"

#include "core/base/CodePage.h"
#include "core/base/UiText.h"
#include "core/network/NetConfig.h"
#include "ui/network/EdtCfgDlg.h"
#include "ui/network/NetWidgets.h"
#include "ui/toolkit/MessageBox.h"
#include "ui/toolkit/Messages.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <chrono>

namespace pemberlux {

namespace {

using namespace std::chrono_literals;

// Longer names are not shown: the row keeps its MAC only.
constexpr int kMaxNameLength = 64;

} // namespace

CTR510EnthernetDlg::CTR510EnthernetDlg(QObject* owner, QWidget* parent, std::uint16_t port)
    // The serial number and the monitor port are kept, not shown.
    : CSearchDialog(IDD, parent, LayoutOf<CTR510EnthernetDlg>(StringId::ColumnMacAddress, 150, false)), owner_(owner),
      lang_(ThreadUiLanguage()), channel_(port) {
    WatchRowClicks(List(), [this](int row) { OnRowClick(row); });
}

CTR510EnthernetDlg::~CTR510EnthernetDlg() {
    StopWorkers();
}

void CTR510EnthernetDlg::OnInitDialog() {
    List()->setRowCount(0);
    records_.clear();
    selectedRow_ = -1;
    ClearSelectedTexts();
    ip_ = settings_.ipAddress;
    monitorPort_ = settings_.tcpPort;
    UpdateControls();
}

void CTR510EnthernetDlg::AddRow(const DiscoveryRecord& record) {
    // The newest answer goes on top; every answer makes a row, also a repeated one.
    QTableWidget* list = List();
    list->insertRow(0);
    records_.insert(records_.begin(), record);
    if (selectedRow_ >= 0) ++selectedRow_;
    SetCell(list, 0, COL_MAC, record.MacText());
    const std::string name = DecodeCodePage(record.DeviceName(), lang_);
    if (QString::fromStdString(name).size() > kMaxNameLength) return;
    SetCell(list, 0, COL_NAME, name);
    SetCell(list, 0, COL_FIRMWARE, record.FirmwareText());
    SetCell(list, 0, COL_IP, record.IpText());
}

void CTR510EnthernetDlg::OnSearch() {
    List()->setRowCount(0);
    records_.clear();
    selectedRow_ = -1;
    ClearSelectedTexts();
    UpdateControls();
    StartJob(Buttons(), [this, language = settings_.language](std::stop_token stop) {
        SetThreadUiLanguage(LanguageIdOf(language));
        SetControlText(IDC_SEARCH, LoadUiString(StringId::SearchingCaption));
        if (channel_.Search() == PsSearchResult::Started) {
            // The answers become rows as they come, until the search is over.
            for (bool over = false; !over && !stop.stop_requested();) {
                over = channel_.IsIdle();
                DiscoveryRecord record;
                while (channel_.PopAnswer(record))
                    if (!RunOnGuiThread([this, record] { AddRow(record); })) return;
                if (!over) channel_.WaitAnswerOrIdle(100ms);
            }
        }
        SetControlText(IDC_SEARCH, LoadUiString(StringId::SearchCaption));
    });
}

void CTR510EnthernetDlg::OnRowClick(int row) {
    ClearSelectedTexts();
    QTableWidget* list = List();
    if (row >= 0 && row < list->rowCount()) {
        mac_ = CellText(list, row, COL_MAC);
        deviceName_ = CellText(list, row, COL_NAME);
        ip_ = CellText(list, row, COL_IP);
        selectedRow_ = row;
    } else {
        selectedRow_ = -1;
    }
    UpdateControls();
}

void CTR510EnthernetDlg::OnSetupPrinter() {
    if (!channel_.IsIdle()) {
        ShowString(this, StringId::NetworkSearchBusy, MessageIcon::Stop);
        return;
    }
    if (selectedRow_ < 0 || selectedRow_ >= static_cast<int>(records_.size())) {
        ShowString(this, StringId::SelectOnePrinter, MessageIcon::Stop);
        return;
    }
    const DiscoveryRecord target = records_[static_cast<std::size_t>(selectedRow_)];
    CEdtCfgDlg dialog(this);
    dialog.SetLanguage(settings_.language);
    dialog.SetPrintServerMode(deviceName_, mac_, serial_, target, channel_.Port());
    if (dialog.DoModal() != QDialog::Accepted) return;

    // The image as the dialog read it, with the user's changes.
    const ConfigImage saved = dialog.Image();
    ConfigImage& image = channel_.Image();
    image = saved;
    image.SetIpAddress(dialog.Ip());
    image.SetGateway(dialog.Gateway());
    image.SetSubnetMask(dialog.Mask());
    const bool dhcp = dialog.DhcpChoice() == 1;
    image.SetDhcpFlag(dhcp ? ConfigImage::DHCP_ON : ConfigImage::DHCP_OFF);
    image.SetPrintPort(static_cast<std::uint16_t>(dialog.MonitorPort()));
    // Blocks the dialog could not read are never written.
    channel_.SetConfigRead(dialog.ConfigRead());

    const PsWriteTiming timing = timing_;
    StartJob(Buttons(), [this, target, saved, dhcp, timing, ip = FormatIp(dialog.Ip()), port = dialog.MonitorPort(),
                         language = settings_.language](std::stop_token stop) {
        SetThreadUiLanguage(LanguageIdOf(language));
        WriteJob(stop, target, saved, dhcp, timing, ip, port);
    });
}

void CTR510EnthernetDlg::WriteJob(const std::stop_token& stop, const DiscoveryRecord& target, const ConfigImage& saved,
                                  bool dhcp, const PsWriteTiming& timing, const std::string& newIp, int newPort) {
    const PsWriteOutcome written = WriteConfiguration(channel_, target, timing, stop);
    if (written.status == PsWriteStatus::Stopped) return;
    if (written.status == PsWriteStatus::NotRead) {
        ShowString(this, StringId::SettingsNotRead, MessageIcon::Stop);
        return;
    }
    // Only what the print server acknowledged replaces what the dialog shows and hands back.
    if (written.portTaken) {
        RunOnGuiThread([this, newPort] {
            monitorPort_ = newPort;
            UpdateControls();
        });
    }
    if (written.addressTaken) ShowAddressOf(target, newIp);
    if (written.status == PsWriteStatus::Failed) ShowString(this, StringId::SendFailed, MessageIcon::Stop);
    // DHCP was chosen: see where the print server went, whether or not block A
    // was acknowledged (an acknowledgement can be lost while the block was
    // taken). The follow-up writes only to a print server left without an address.
    if (!dhcp) return;

    // After the write, not alongside it: a search would take the channel from
    // the write and clear its configuration-read flag.
    const PsDhcpOutcome found = FollowDhcp(channel_, target, saved, timing, stop);
    if (found.stopped || !found.found) return;
    if (!found.restoreNeeded) {
        RunOnGuiThread([this, record = found.record] {
            for (DiscoveryRecord& r : records_)
                if (r.Mac() == record.Mac()) r = record;
        });
        ShowAddressOf(target, found.record.IpText());
    } else if (found.restore == PsWriteStatus::Done) {
        ShowAddressOf(target, target.IpText());
    } else {
        ShowString(this, found.restore == PsWriteStatus::NotRead ? StringId::SettingsNotRead : StringId::SendFailed,
                   MessageIcon::Stop);
    }
}

void CTR510EnthernetDlg::ShowAddressOf(const DiscoveryRecord& target, const std::string& ip) {
    RunOnGuiThread([this, mac = target.Mac(), macText = target.MacText(), ip] {
        // The field only while it still shows this print server.
        if (mac_ == macText) ip_ = ip;
        UpdateControls();
        QTableWidget* list = List();
        for (int row = 0; row < list->rowCount() && row < static_cast<int>(records_.size()); ++row)
            if (records_[static_cast<std::size_t>(row)].Mac() == mac) SetCell(list, row, COL_IP, ip);
    });
}

void CTR510EnthernetDlg::OnOK() {
    if (mac_.empty()) {
        ShowString(this, StringId::SelectOnePrinter, std::nullopt);
        return;
    }
    AcceptSelection(owner_, settings_);
}

void CTR510EnthernetDlg::done(int result) {
    StopWorkers();
    CDialog::done(result);
}

} // namespace pemberlux
