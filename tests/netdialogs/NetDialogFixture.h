// The network dialogs on their own, shown (not run modally) against simulated
// printers on ports the tests choose; the configuration dialogs they open are
// answered from within their modal loops, and what they hand to their owner
// is recorded.
#pragma once

#include "QtTestSupport.h"
#include "core/base/UiText.h"
#include "ui/network/EdtCfgDlg.h"
#include "ui/toolkit/MessageBox.h"
#include "ui/toolkit/Messages.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <vector>

namespace pemberlux::test {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// The interface page's side: every WM_NETWORK_SET it is sent.
class NetworkSetSpy : public QObject {
public:
    std::vector<PortSettings> records;

protected:
    bool event(QEvent* e) override {
        const auto* message = MessageAs<NetworkSetEvent>(e);
        if (!message) return QObject::event(e);
        records.push_back(message->settings);
        return true;
    }
};

inline PortSettings PageRecord() {
    PortSettings s;
    s.modelName = "TR-510";
    s.portKind = PORT_LAN;
    s.language = "English";
    s.ipAddress = "127.0.0.1";
    s.tcpPort = 9100;
    return s;
}

inline void Click(CWindowBase& w, int id) {
    QTest::mouseClick(w.Control(id), Qt::LeftButton);
}

inline void SetText(CWindowBase& w, int id, const std::string& text) {
    w.ControlAs<QLineEdit>(id)->setText(QString::fromStdString(text));
}

inline std::string Text(const CWindowBase& w, int id) {
    return w.ControlText(id);
}

// A click on row `row` of a report list, where a user clicks.
inline void ClickRow(QTableWidget* list, int row, bool twice = false) {
    const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    // A double click brings its first click first, then the double click in place of the second press.
    if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    RunEventsFor(20ms);
}

inline std::vector<std::string> Column(const QTableWidget* list, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < list->rowCount(); ++row)
        texts.push_back(list->item(row, column) ? list->item(row, column)->text().toStdString() : std::string());
    return texts;
}

// Waits until `w` has no job running and its controls `ids` are enabled again.
inline bool WaitJobsDone(const CWindowBase& w, std::vector<int> ids, std::chrono::milliseconds timeout = 30s) {
    return WaitUntil(
        [&] {
            if (w.WorkersRunning() != 0) return false;
            for (int id : ids)
                if (!w.Control(id)->isEnabled()) return false;
            return true;
        },
        timeout);
}

// Answers the next configuration dialog: once its read has ended, `edit` fills
// it in; OK is clicked unless `edit` returns false (then Cancel). The dialog's
// field texts as it opened are kept in `seen`.
struct ConfigDialogAnswer {
    bool shown = false;
    std::map<int, std::string> seen;
    std::string dhcpShown;
    bool closed = false;
};

inline void AnswerConfigDialog(ConfigDialogAnswer& answer, std::function<bool(CEdtCfgDlg&)> edit) {
    WhenModalShown([&answer, edit = std::move(edit)](QWidget* w) {
        auto* dialog = qobject_cast<CEdtCfgDlg*>(w);
        if (!dialog) return;
        answer.shown = true;
        WaitJobsDone(*dialog, {CEdtCfgDlg::IDC_OK, CEdtCfgDlg::IDC_CANCEL});
        for (int id : {CEdtCfgDlg::IDC_DEVICE_NAME, CEdtCfgDlg::IDC_FW_VERSION, CEdtCfgDlg::IDC_MAC,
                       CEdtCfgDlg::IDC_SERIAL, CEdtCfgDlg::IDC_CURRENT_IP, CEdtCfgDlg::IDC_IP, CEdtCfgDlg::IDC_MASK,
                       CEdtCfgDlg::IDC_GATEWAY, CEdtCfgDlg::IDC_MONITOR_PORT, CEdtCfgDlg::IDC_PRINT_TIMEOUT})
            answer.seen[id] = dialog->ControlText(id);
        answer.dhcpShown = dialog->ControlText(CEdtCfgDlg::IDC_DHCP);
        const bool ok = edit(*dialog);
        Click(*dialog, ok ? CEdtCfgDlg::IDC_OK : CEdtCfgDlg::IDC_CANCEL);
        answer.closed = !dialog->isVisible();
        if (!answer.closed) dialog->reject();
    });
}

// Fills the network fields of a configuration dialog.
struct NetworkEntry {
    NetworkEntry(int dhcpIndex, std::string ipText, std::string maskText = "255.0.0.0",
                 std::string gatewayText = "127.0.0.1", std::string portText = "", std::string timeoutText = "")
        : dhcp(dhcpIndex), ip(std::move(ipText)), mask(std::move(maskText)), gateway(std::move(gatewayText)),
          port(std::move(portText)), timeout(std::move(timeoutText)) {}
    int dhcp; // 0 "Disable", 1 "Enable"
    std::string ip, mask, gateway, port, timeout;
};

inline bool Enter(CEdtCfgDlg& d, const NetworkEntry& e) {
    d.ControlAs<QComboBox>(CEdtCfgDlg::IDC_DHCP)->setCurrentIndex(e.dhcp);
    if (!e.ip.empty()) SetText(d, CEdtCfgDlg::IDC_IP, e.ip);
    SetText(d, CEdtCfgDlg::IDC_MASK, e.mask);
    SetText(d, CEdtCfgDlg::IDC_GATEWAY, e.gateway);
    if (!e.port.empty()) SetText(d, CEdtCfgDlg::IDC_MONITOR_PORT, e.port);
    if (!e.timeout.empty()) SetText(d, CEdtCfgDlg::IDC_PRINT_TIMEOUT, e.timeout);
    return true;
}

class NetDialogTest : public ::testing::Test {
protected:
    void SetUp() override { SetThreadUiLanguage(LANG_ENGLISH); }
    void TearDown() override { SetThreadUiLanguage(LANG_ENGLISH); }

    MessageRecorder messages;
    NetworkSetSpy page;
};

} // namespace pemberlux::test
