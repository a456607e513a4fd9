// The label settings page inside the program's window, against the simulated
// label printer on a real transport: TCP, a pty as serial line, or a fake USB
// printer tree. What the main window receives from the page is recorded.
#pragma once

#include "../shell/ShellFixture.h"
#include "LabelPrinterSim.h"
#include "LabelTestUtil.h"
#include "Transports.h"
#include "label/PrintingSetupLB610_1.h"
#include "platform/Messages.h"

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
using LabelPage = CPrintingSetupLB610_1;

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

// WM_SETTINGS_CHANGED as the main window received it: the record, when, and
// whether the page still had changed marks at that moment.
struct SettingsReport {
    PortSettings settings;
    Clock::time_point at;
    bool pageHadMarks;
};

class SettingsSpy : public QObject {
public:
    SettingsSpy(QObject* window, const LabelPage* page) : page_(page) { window->installEventFilter(this); }
    std::vector<SettingsReport> reports;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (static_cast<int>(event->type()) == WM_SETTINGS_CHANGED) {
            auto* m = static_cast<MessageEvent*>(event);
            reports.push_back({*FromParam<const PortSettings>(m->wParam), Clock::now(), page_->ChangedMarks().any()});
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const LabelPage* page_;
};

class LabelPageTest : public ShellTest {
protected:
    // Writes the settings for `transport` (the printer there) and starts the
    // program with "Printer Setup" shown.
    LabelPage& StartOn(Transport transport, const std::string& model = "LB-610",
                       const std::string& language = "English") {
        PortSettings s = Record(model, PORT_LAN);
        s.language = language;
        switch (transport) {
        case Transport::Tcp:
            if (!tcp) tcp = std::make_unique<sim::TcpServer>(printer);
            s.portKind = PORT_LAN;
            s.tcpPort = tcp->Port();
            break;
        case Transport::Serial:
            if (!pty) pty = std::make_unique<sim::PtyPort>(printer);
            s.portKind = PORT_COM;
            s.comName = pty->Path();
            break;
        case Transport::Usb:
            if (!usb) {
                usb = std::make_unique<sim::FakeUsbTree>(dir / "usb");
                usb->AddPrinter(printer, "3a7e", "5e10");
                usbSys.emplace("PEMBERLUX_SYSFS_ROOT", usb->SysfsRoot().c_str());
                usbDev.emplace("PEMBERLUX_DEV_ROOT", usb->DevRoot().c_str());
            }
            s.portKind = PORT_USB;
            break;
        }
        return StartWith(s);
    }

    LabelPage& StartWith(const PortSettings& s) {
        WriteSettings(s);
        if (s.language == "Chinese") chinese.emplace("LANG", "zh_CN.UTF-8");
        Start();
        ChooseMenu(CPemberluxDlg::MENU_PRINTER_SETUP);
        spy = std::make_unique<SettingsSpy>(window.get(), &Lp());
        return Lp();
    }

    void TearDown() override {
        spy.reset();
        ShellTest::TearDown();
    }

    LabelPage& Lp() const { return *window->LabelSetupPage(); }
    QComboBox* List(int pos) const { return Lp().List(pos); }
    QLineEdit* Edit(int pos) const { return Lp().Edit(pos); }
    std::string EditText(int pos) const { return Edit(pos)->text().toStdString(); }
    std::vector<std::string> Items(int pos) const {
        std::vector<std::string> items;
        for (int i = 0; i < List(pos)->count(); ++i)
            items.push_back(List(pos)->itemText(i).toStdString());
        return items;
    }

    // What a user does: pick a list item, type, paste, click.
    void Choose(int pos, int index) const {
        List(pos)->setCurrentIndex(index);
        emit List(pos)->activated(index);
    }
    void Type(int pos, const std::string& text) const {
        Edit(pos)->setFocus();
        Edit(pos)->selectAll();
        QTest::keyClicks(Edit(pos), QString::fromStdString(text));
    }
    void Paste(int pos, const std::string& text) const {
        Edit(pos)->selectAll();
        Edit(pos)->insert(QString::fromStdString(text));
    }
    void Click(int id) const { QTest::mouseClick(Lp().Control(id), Qt::LeftButton); }

    bool ButtonsEnabled() const {
        for (int id : LB_ACTION_BUTTONS)
            if (!Lp().Control(id)->isEnabled()) return false;
        return true;
    }
    bool ButtonsDisabled() const {
        for (int id : LB_ACTION_BUTTONS)
            if (Lp().Control(id)->isEnabled()) return false;
        return true;
    }
    // Until the worker has ended and the buttons are back.
    bool WaitIdle(std::chrono::milliseconds timeout = 10s) const {
        return WaitUntil([&] { return Lp().WorkersRunning() == 0 && ButtonsEnabled(); }, timeout);
    }
    // A click, the worker's run, and the refresh timer after it.
    void ClickAndSettle(int id) {
        Click(id);
        ASSERT_TRUE(WaitIdle());
        RunEventsFor(250ms);
    }

    // Send Settings; returns the frame the printer received.
    Bytes SendAndReceive() {
        printer.ClearReceived();
        const std::size_t frames = printer.Counters().frames;
        Click(IDC_SEND_SETTINGS);
        EXPECT_TRUE(WaitIdle());
        EXPECT_TRUE(printer.WaitForFrames(frames + 1, 5s));
        return printer.Received();
    }

    sim::LabelPrinterSim printer;
    std::unique_ptr<sim::TcpServer> tcp;
    std::unique_ptr<sim::PtyPort> pty;
    std::unique_ptr<sim::FakeUsbTree> usb;
    std::optional<ScopedEnv> usbSys, usbDev, chinese;
    std::unique_ptr<SettingsSpy> spy;
};

} // namespace pemberlux::test
