// The receipt settings page inside the program's window, against the simulated
// receipt printer on a real transport: TCP, a pty as serial line, or a fake USB
// printer tree. What the main window receives from the page is recorded.
#pragma once

#include "../label/LabelTestUtil.h"
#include "../shell/ShellFixture.h"
#include "ReceiptPrinterSim.h"
#include "Transports.h"
#include "platform/Messages.h"
#include "receipt/InternalSetupTR510.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <chrono>
#include <memory>
#include <optional>

namespace pemberlux::test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ReceiptPage = CInternalSetupTR510;

enum class Transport { Tcp, Serial, Usb };

inline const char* TransportName(Transport t) {
    switch (t) {
    case Transport::Tcp:
        return "TCP";
    case Transport::Serial:
        return "serial";
    case Transport::Usb:
        break;
    }
    return "USB";
}

// WM_SETTINGS_CHANGED as the main window received it, and when.
struct SettingsReport {
    PortSettings settings;
    Clock::time_point at;
};

class SettingsSpy : public QObject {
public:
    explicit SettingsSpy(QObject* window) { window->installEventFilter(this); }
    std::vector<SettingsReport> reports;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (static_cast<int>(event->type()) == WM_SETTINGS_CHANGED) {
            auto* m = static_cast<MessageEvent*>(event);
            reports.push_back({*FromParam<const PortSettings>(m->wParam), Clock::now()});
        }
        return QObject::eventFilter(watched, event);
    }
};

class ReceiptPageTest : public ShellTest {
protected:
    // A new printer behind new transports; the window must be gone.
    void UsePrinter(sim::ReceiptModel model) {
        usb.reset();
        usbSys.reset();
        usbDev.reset();
        pty.reset();
        tcp.reset();
        printer = std::make_unique<sim::ReceiptPrinterSim>(model);
    }

    // Writes the settings for `transport` (the printer there) and starts the
    // program with "Printer Setup" shown.
    ReceiptPage& StartOn(Transport transport, const std::string& model = "TR-510",
                         const std::string& language = "English") {
        PortSettings s = Record(model, PORT_LAN);
        s.language = language;
        switch (transport) {
        case Transport::Tcp:
            if (!tcp) tcp = std::make_unique<sim::TcpServer>(*printer);
            s.portKind = PORT_LAN;
            s.tcpPort = tcp->Port();
            break;
        case Transport::Serial:
            if (!pty) pty = std::make_unique<sim::PtyPort>(*printer);
            s.portKind = PORT_COM;
            s.comName = pty->Path();
            break;
        case Transport::Usb:
            if (!usb) {
                usb = std::make_unique<sim::FakeUsbTree>(dir / "usb");
                // The ids of the model the program selects.
                usb->AddPrinter(*printer, "3a7e", model == "TR-510" ? "41a2" : "41a3");
                usbSys.emplace("PEMBERLUX_SYSFS_ROOT", usb->SysfsRoot().c_str());
                usbDev.emplace("PEMBERLUX_DEV_ROOT", usb->DevRoot().c_str());
            }
            s.portKind = PORT_USB;
            break;
        }
        return StartWith(s);
    }

    ReceiptPage& StartWith(const PortSettings& s) {
        WriteSettings(s);
        if (s.language == "Chinese") chinese.emplace("LANG", "zh_CN.UTF-8");
        Start();
        ChooseMenu(CPemberluxDlg::MENU_PRINTER_SETUP);
        EXPECT_NE(window->ReceiptSetupPage(), nullptr);
        spy = std::make_unique<SettingsSpy>(window.get());
        return Rp();
    }

    void TearDown() override {
        spy.reset();
        ShellTest::TearDown();
    }

    ReceiptPage& Rp() const { return *window->ReceiptSetupPage(); }
    QComboBox* List(int pos) const { return Rp().List(pos); }
    QLineEdit* Edit(int pos) const { return Rp().Edit(pos); }
    std::string EditText(int pos) const { return Edit(pos)->text().toStdString(); }
    std::string ListText(int pos) const { return List(pos)->currentText().toStdString(); }
    std::vector<int> Selections() const {
        std::vector<int> out;
        for (const ReceiptSettingInfo& info : RECEIPT_SETTINGS)
            if (info.IsList()) out.push_back(List(info.pos)->currentIndex());
        return out;
    }
    std::vector<std::string> Items(int pos) const {
        std::vector<std::string> items;
        for (int i = 0; i < List(pos)->count(); ++i)
            items.push_back(List(pos)->itemText(i).toStdString());
        return items;
    }

    // What a user does: pick a list item, type, paste, clear, click.
    void Choose(int pos, int index) const {
        List(pos)->setCurrentIndex(index);
        emit List(pos)->activated(index);
    }
    void Type(int pos, const std::string& text) const {
        Edit(pos)->setFocus();
        QTest::keyClicks(Edit(pos), QString::fromStdString(text));
    }
    void Paste(int pos, const std::string& text) const {
        Edit(pos)->selectAll();
        Edit(pos)->insert(QString::fromStdString(text));
    }
    void Clear(int pos) const {
        Edit(pos)->setFocus();
        Edit(pos)->selectAll();
        QTest::keyClick(Edit(pos), Qt::Key_Backspace);
    }
    void Click(int id) const { QTest::mouseClick(Rp().Control(id), Qt::LeftButton); }

    bool ButtonsEnabled() const {
        for (int id : RC_ACTION_BUTTONS)
            if (!Rp().Control(id)->isEnabled()) return false;
        return true;
    }
    bool ButtonsDisabled() const {
        for (int id : RC_ACTION_BUTTONS)
            if (Rp().Control(id)->isEnabled()) return false;
        return true;
    }
    // Until the worker has ended and the buttons are back.
    bool WaitIdle(std::chrono::milliseconds timeout = 10s) const {
        return WaitUntil([&] { return Rp().WorkersRunning() == 0 && ButtonsEnabled(); }, timeout);
    }
    // A click, the worker's run, and the refresh timer after it.
    void ClickAndSettle(int id) {
        Click(id);
        ASSERT_TRUE(WaitIdle());
        RunEventsFor(250ms);
    }

    // Send Settings; returns the frame the printer received.
    std::string SendAndReceive() {
        printer->ClearReceived();
        const std::size_t frames = printer->Counters().frames;
        Click(IDC_RC_SEND_SETTINGS);
        EXPECT_TRUE(WaitIdle());
        EXPECT_TRUE(printer->WaitForFrames(frames + 1, 5s));
        return HexText(printer->Received());
    }

    std::unique_ptr<sim::ReceiptPrinterSim> printer = std::make_unique<sim::ReceiptPrinterSim>();
    std::unique_ptr<sim::TcpServer> tcp;
    std::unique_ptr<sim::PtyPort> pty;
    std::unique_ptr<sim::FakeUsbTree> usb;
    std::optional<ScopedEnv> usbSys, usbDev, chinese;
    std::unique_ptr<SettingsSpy> spy;
};

} // namespace pemberlux::test
