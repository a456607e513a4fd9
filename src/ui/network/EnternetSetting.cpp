#include "ui/network/EnternetSetting.h"

#include "core/base/CodePage.h"
#include "core/base/UiText.h"
#include "core/network/NetConfig.h"
#include "core/port/Job.h"
#include "ui/network/EdtCfgDlg.h"
#include "ui/network/EdtCfgDlgUSB.h"
#include "ui/network/NetWidgets.h"
#include "ui/toolkit/MessageBox.h"
#include "ui/toolkit/Messages.h"
#include "ui/toolkit/Platform.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTableWidget>
#include <QVBoxLayout>

#include <chrono>

namespace pemberlux {

namespace {

using namespace std::chrono_literals;

} // namespace

CEnternetSetting::CEnternetSetting(QObject* owner, QWidget* parent, std::uint16_t port, KvTiming timing)
    : CSearchDialog(IDD, parent, LayoutOf<CEnternetSetting>(StringId::ColumnSerialNumber, 120, true)), owner_(owner),
      port_(port), lang_(ThreadUiLanguage()), client_(timing) {
    UseHandCursorOverButtons(this);
    WatchRowClicks(
        List(), [this](int row) { OnRowClick(row); }, [this](int row) { OnRowDoubleClick(row); });
}

CEnternetSetting::~CEnternetSetting() {
    StopWorkers();
    CloseSession();
}

void CEnternetSetting::OnInitDialog() {
    List()->setRowCount(0);
    rows_.clear();
    selectedRow_ = -1;
    configuredOverUsb_ = false;
    ClearSelectedTexts();
    ip_ = settings_.ipAddress;
    monitorPort_ = settings_.tcpPort;
    UpdateControls();

    // Empties the printer table and the selection; no search runs by itself.
    client_.Open(port_);
    if (client_.ReceiveSocket() >= 0) {
        notifier_ = new QSocketNotifier(client_.ReceiveSocket(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { OnSocketNotify(); });
    }
    SetTimer(TIMER_POLL, POLL_MS);
}

void CEnternetSetting::CloseSession() {
    KillTimer(TIMER_POLL);
    delete notifier_;
    notifier_ = nullptr;
    client_.Close();
}

void CEnternetSetting::OnSocketNotify() {
    client_.OnReadable();
}

void CEnternetSetting::SetRow(int row, const FoundPrinter& p) {
    QTableWidget* list = List();
    SetCell(list, row, COL_SERIAL, DecodeCodePage(p.serialNumber, lang_));
    SetCell(list, row, COL_MAC, DecodeCodePage(p.mac, lang_));
    SetCell(list, row, COL_NAME, DecodeCodePage(p.deviceName, lang_));
    SetCell(list, row, COL_FIRMWARE, DecodeCodePage(p.firmwareVersion, lang_));
    SetCell(list, row, COL_IP, DecodeCodePage(p.ipInUse, lang_));
}

void CEnternetSetting::ShowRows(const std::vector<FoundPrinter>& printers) {
    QTableWidget* list = List();
    list->setRowCount(0);
    rows_.clear();
    selectedRow_ = -1;
    // Sorted by serial number, as the list sorts its rows when they are inserted.
    for (const FoundPrinter& p : printers) {
        const QString serial = QString::fromStdString(DecodeCodePage(p.serialNumber, lang_));
        std::size_t at = 0;
        while (at < rows_.size() && QString::fromStdString(DecodeCodePage(rows_[at].serialNumber, lang_))
                                            .compare(serial, Qt::CaseInsensitive) <= 0)
            ++at;
        list->insertRow(static_cast<int>(at));
        rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), p);
        SetRow(static_cast<int>(at), p);
    }
}

void CEnternetSetting::OnTimer(int timerId) {
    if (timerId != TIMER_POLL) return;
    const KvPollResult r = client_.Poll();
    if (r.listChanged) ShowRows(r.rows);
    if (r.queryAnswered && r.queryComplete) {
        monitorPort_ = r.monitorPort;
        UpdateControls();
        if (selectedRow_ >= 0 && selectedRow_ < static_cast<int>(rows_.size()) &&
            rows_[static_cast<std::size_t>(selectedRow_)].mac == r.queried.mac) {
            rows_[static_cast<std::size_t>(selectedRow_)] = r.queried;
            SetRow(selectedRow_, r.queried);
            List()->selectRow(selectedRow_);
            List()->setFocus();
        }
    }
    // A double-clicked row's query has ended, answered or not.
    if (r.openSetup) OnSetupPrinter();
}

void CEnternetSetting::OnSearch() {
    client_.ClearSelection();
    List()->setRowCount(0);
    rows_.clear();
    selectedRow_ = -1;
    ClearSelectedTexts();
    monitorPort_ = 0;
    UpdateControls();
    StartJob(Buttons(), [this, language = settings_.language](std::stop_token stop) {
        SetThreadUiLanguage(LanguageIdOf(language));
        SetControlText(IDC_SEARCH, LoadUiString(StringId::SearchingCaption));
        if (client_.StartSearch() == KvStart::Busy)
            ShowMessage(this, TemplateText(IDD, "message.Busy"), MessageIcon::Stop);
        // The timer clears busy once the receiver has ended, about 4 s after the start.
        while (client_.Busy() && SleepFor(stop, 50ms)) {
        }
        if (stop.stop_requested()) return;
        SetControlText(IDC_SEARCH, LoadUiString(StringId::SearchCaption));
    });
}

void CEnternetSetting::OnRowClick(int row) {
    ClearSelectedTexts();
    monitorPort_ = 0;
    UpdateControls();
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    if (client_.Busy()) {
        ShowString(this, StringId::NetworkSearchBusy, MessageIcon::Stop);
        return;
    }
    // The printer's own bytes go out, not the texts as shown.
    const FoundPrinter& p = rows_[static_cast<std::size_t>(row)];
    const KvStart started = client_.StartQuery(p.mac, p.serialNumber);
    if (started == KvStart::Busy) ShowString(this, StringId::NetworkSearchBusy, MessageIcon::Stop);
    // The row is selected only when the session took it: otherwise the fields
    // would show a printer that Setup printer and OK do not act on.
    if (started != KvStart::Started && started != KvStart::SendFailed) {
        selectedRow_ = -1;
        return;
    }
    QTableWidget* list = List();
    serial_ = CellText(list, row, COL_SERIAL);
    mac_ = CellText(list, row, COL_MAC);
    deviceName_ = CellText(list, row, COL_NAME);
    ip_ = CellText(list, row, COL_IP);
    selectedRow_ = row;
    UpdateControls();
}

void CEnternetSetting::OnRowDoubleClick(int) {
    // The click before it has started the query; the configuration opens when it ends.
    client_.MarkPendingOpen();
}

void CEnternetSetting::OnSetupPrinter() {
    // A job of the dialog is running (its buttons are off): nothing starts now.
    if (Held(IDC_SETUP)) return;
    if (client_.Busy()) {
        ShowString(this, StringId::NetworkSearchBusy, MessageIcon::Stop);
        return;
    }
    const std::string mac = client_.SelectedMac();
    // Only a printer the list shows now.
    const bool listed = !mac.empty() && selectedRow_ >= 0 && selectedRow_ < static_cast<int>(rows_.size()) &&
                        rows_[static_cast<std::size_t>(selectedRow_)].mac.substr(0, KV_KEY_MAC.width) == mac;
    if (listed) {
        ConfigureSelected(mac, client_.SelectedSerial());
    } else {
        ConfigureOverUsb();
    }
}

void CEnternetSetting::ConfigureSelected(const std::string& mac, const std::string& serial) {
    configuredOverUsb_ = false;
    const std::optional<KvConfigValues> answer = client_.AnswerOf(mac);
    if (!answer) {
        // Its query went unanswered: there is nothing of this printer to show or send back.
        ShowString(this, StringId::CommTimeout, MessageIcon::Stop);
        return;
    }
    CEdtCfgDlg dialog(this);
    dialog.SetLanguage(settings_.language);
    dialog.SetKeyValueMode(mac, answer);
    if (dialog.DoModal() != QDialog::Accepted) return;
    if (const KvStart started = client_.StartSet(mac, serial, dialog.SetValues()); started != KvStart::Started) {
        if (const std::optional<StringId> message = KvStartMessage(started))
            ShowString(this, *message, MessageIcon::Stop);
        return;
    }
    StartJob(Buttons(), [this, language = settings_.language](std::stop_token stop) {
        SetThreadUiLanguage(LanguageIdOf(language));
        SetControlText(IDC_SETUP, LoadUiString(StringId::SettingCaption));
        // Bounded: without a complete answer the loop gives up after about a minute.
        const KvSetOutcome outcome = client_.RunSetConfirmation(stop);
        if (stop.stop_requested()) return;
        if (outcome.confirmed) {
            RunOnGuiThread([this, outcome] {
                ip_ = outcome.ipInUse;
                monitorPort_ = outcome.monitorPort;
                UpdateControls();
            });
        } else {
            ShowString(this, StringId::CommTimeout, MessageIcon::Stop);
        }
        SetControlText(IDC_SETUP, LoadUiString(StringId::SetupCaption));
    });
}

void CEnternetSetting::ConfigureOverUsb() {
    CEdtCfgDlgUSB dialog(this);
    if (dialog.exec() != QDialog::Accepted) {
        configuredOverUsb_ = false;
        return;
    }
    // Over USB whatever interface the page has selected.
    StartJob(Buttons(), [this, values = dialog.Values(), settings = settings_,
                         usb = UsbSelection::Current()](std::stop_token stop) {
        SetThreadUiLanguage(LanguageIdOf(settings.language));
        const ExchangeResult result = SendNetSettingsOverUsb(values, settings, usb, {stop});
        if (result.status == ExchangeResult::Stopped) return;
        const bool written = result.Ok();
        RunOnGuiThread([this, written, ip = FormatIp(values.ip)] {
            configuredOverUsb_ = written;
            if (!written) return;
            ip_ = ip;
            UpdateControls();
        });
        if (!written) ShowString(this, StringId::SendFailed, MessageIcon::Stop);
    });
}

void CEnternetSetting::OnOK() {
    if (mac_.empty() && !configuredOverUsb_) {
        ShowString(this, StringId::SelectOnePrinter, std::nullopt);
        return;
    }
    AcceptSelection(owner_, settings_);
}

void CEnternetSetting::done(int result) {
    StopWorkers();
    CloseSession();
    CDialog::done(result);
}

} // namespace pemberlux
