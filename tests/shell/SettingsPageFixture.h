// A settings page inside the program's window, against a simulated printer on a
// real transport: TCP, a pty as serial line, or a fake USB printer tree. What the
// main window receives from the page is recorded. `Family` names the page, the
// simulated printer, the page's action buttons (by their texts) and the USB ids
// of its models.
#pragma once

#include "../label/LabelTestUtil.h"
#include "ShellFixture.h"
#include "Transports.h"
#include "ui/toolkit/Messages.h"

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

// A button as the user reads it, in the two languages of the program.
struct ButtonText {
    const char* english;
    const char* chinese;
};

// WM_SETTINGS_CHANGED as the main window received it: the record, when, and
// whether the page still had changed marks at that moment.
struct SettingsReport {
    PortSettings settings;
    Clock::time_point at;
    bool pageHadMarks;
};

template <class Page> class SettingsSpy : public QObject {
public:
    SettingsSpy(QObject* window, const Page* page) : page_(page) { window->installEventFilter(this); }
    std::vector<SettingsReport> reports;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (const auto* m = MessageAs<SettingsChangedEvent>(event))
            reports.push_back({m->settings, Clock::now(), page_->ChangedMarks().any()});
        return QObject::eventFilter(watched, event);
    }

private:
    const Page* page_;
};

template <class Family> class SettingsPageTest : public ShellTest {
protected:
    using Page = typename Family::Page;
    using Printer = typename Family::Printer;

    // A new printer behind new transports; the window must be gone.
    template <class... Args> void UsePrinter(Args&&... args) {
        usb.reset();
        usbSys.reset();
        usbDev.reset();
        pty.reset();
        tcp.reset();
        printer = std::make_unique<Printer>(std::forward<Args>(args)...);
    }

    // Writes the settings for `transport` (the printer there) and starts the
    // program with "Printer Setup" shown.
    Page& StartOn(Transport transport, const std::string& model = Family::DEFAULT_MODEL,
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
                usb->AddPrinter(*printer, "3a7e", Family::UsbProduct(model));
                usbSys.emplace("PEMBERLUX_SYSFS_ROOT", usb->SysfsRoot().c_str());
                usbDev.emplace("PEMBERLUX_DEV_ROOT", usb->DevRoot().c_str());
            }
            s.portKind = PORT_USB;
            break;
        }
        return StartWith(s);
    }

    Page& StartWith(const PortSettings& s) {
        WriteSettings(s);
        if (s.language == "Chinese") chinese.emplace("LANG", "zh_CN.UTF-8");
        Start();
        ChooseMenu(CPemberluxDlg::MENU_PRINTER_SETUP);
        EXPECT_NE(Family::PageOf(*window), nullptr);
        spy = std::make_unique<SettingsSpy<Page>>(window.get(), &P());
        return P();
    }

    void TearDown() override {
        spy.reset();
        ShellTest::TearDown();
    }

    Page& P() const { return *Family::PageOf(*window); }
    QComboBox* List(int pos) const { return P().List(pos); }
    QLineEdit* Edit(int pos) const { return P().Edit(pos); }
    std::string EditText(int pos) const { return Edit(pos)->text().toStdString(); }
    std::string ListText(int pos) const { return List(pos)->currentText().toStdString(); }
    std::vector<std::string> Items(int pos) const {
        std::vector<std::string> items;
        for (int i = 0; i < List(pos)->count(); ++i)
            items.push_back(List(pos)->itemText(i).toStdString());
        return items;
    }

    // What a user does: pick a list item, type (after what is there), paste over
    // everything, clear, click.
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
    void Click(int id) const { QTest::mouseClick(P().Control(id), Qt::LeftButton); }

    // The page's button of that text, in either language; a failure when there is none.
    QPushButton* Button(const ButtonText& text) const {
        for (QPushButton* b : P().template findChildren<QPushButton*>())
            if (b->text() == QString::fromUtf8(text.english) || b->text() == QString::fromUtf8(text.chinese)) return b;
        ADD_FAILURE() << "no button \"" << text.english << "\"";
        return nullptr;
    }
    // Every button that starts a job, as the fixture's family lists them.
    bool ButtonsEnabled() const {
        for (const ButtonText& text : Family::ACTION_BUTTONS)
            if (QPushButton* b = Button(text); !b || !b->isEnabled()) return false;
        return true;
    }
    bool ButtonsDisabled() const {
        for (const ButtonText& text : Family::ACTION_BUTTONS)
            if (QPushButton* b = Button(text); !b || b->isEnabled()) return false;
        return true;
    }
    // Until the worker has ended and the buttons are back.
    bool WaitIdle(std::chrono::milliseconds timeout = 10s) const {
        return WaitUntil([&] { return P().WorkersRunning() == 0 && ButtonsEnabled(); }, timeout);
    }
    // A click, the worker's run, and the refresh timer after it.
    void ClickAndSettle(int id) {
        Click(id);
        ASSERT_TRUE(WaitIdle());
        RunEventsFor(250ms);
    }

    // Send Settings; returns the frame the printer received.
    std::vector<std::uint8_t> SendAndReceive() {
        printer->ClearReceived();
        const std::size_t frames = printer->Counters().frames;
        Click(Family::SEND_SETTINGS);
        EXPECT_TRUE(WaitIdle());
        EXPECT_TRUE(printer->WaitForFrames(frames + 1, 5s));
        return printer->Received();
    }

    std::unique_ptr<Printer> printer = std::make_unique<Printer>();
    std::unique_ptr<sim::TcpServer> tcp;
    std::unique_ptr<sim::PtyPort> pty;
    std::unique_ptr<sim::FakeUsbTree> usb;
    std::optional<ScopedEnv> usbSys, usbDev, chinese;
    std::unique_ptr<SettingsSpy<Page>> spy;
};

} // namespace pemberlux::test
