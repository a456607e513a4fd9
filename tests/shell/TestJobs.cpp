// Jobs against printers that do not cooperate: closing the window ends a job
// wherever it is blocked, and two jobs of a page never share the printer.
#include "../label/LabelTestUtil.h"
#include "ShellFixture.h"
#include "Stalls.h"
#include "core/port/Exchange.h"
#include "ui/label/PrintingSetupLB610_1.h"
#include "ui/toolkit/Messages.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace pemberlux {
namespace {

using namespace test;
using namespace std::chrono_literals;

// Fails the run instead of hanging it when a close does not come back.
class Watchdog {
public:
    explicit Watchdog(const char* what)
        : thread_([this, what] {
              std::unique_lock lock(mutex_);
              if (!done_.wait_for(lock, 10s, [&] { return finished_; })) {
                  std::fprintf(stderr, "closing the window hangs with a job blocked in %s\n", what);
                  std::_Exit(1);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

class Jobs : public ShellTest {
protected:
    CPrintingSetupLB610_1& LabelPage() {
        ChooseMenu(CPemberluxDlg::MENU_PRINTER_SETUP);
        return *window->LabelSetupPage();
    }
    // Closes the window as the user does and lets it go, as the program's end does.
    void CloseWindow(const char* what) {
        Watchdog watchdog(what);
        window->close();
        window.reset();
    }
};

TEST_F(Jobs, ClosingTheWindowEndsAJobWhereverItIsBlocked) {
    struct Case {
        const char* what;
        std::function<void()> block; // starts the job and returns once it is blocked
    };
    Listener stalled(true);
    Listener deaf(false);
    Pty serialLine, usbNode;
    MakeUsbTree(dir / "usb", usbNode.Path());

    const Case cases[] = {
        {"a connect that is never answered",
         [&] {
             PortSettings s = Record("LB-610", PORT_LAN);
             s.tcpPort = stalled.Port();
             WriteSettings(s);
             Start();
             QTest::mouseClick(LabelPage().Control(IDC_GET_PRINTER_SETTINGS), Qt::LeftButton);
             RunEventsFor(300ms);
         }},
        {"a TCP write to a printer that stopped reading",
         [&] {
             PortSettings s = Record("LB-610", PORT_LAN);
             s.tcpPort = deaf.Port();
             WriteSettings(s);
             Start();
             static const std::vector<std::uint8_t> block(64 << 20, 0x20);
             LabelPage().StartJob({}, [s](std::stop_token stop) {
                 PrinterPort port(s);
                 SendFrame(port, block, {stop});
             });
             RunEventsFor(500ms);
         }},
        {"a serial write held by flow control",
         [&] {
             PortSettings s = Record("LB-610", PORT_COM);
             s.comName = serialLine.Path();
             s.flowControl = "Xon/Xoff";
             WriteSettings(s);
             Start();
             HoldOutput(serialLine);
             QTest::mouseClick(LabelPage().Control(IDC_SEND_SETTINGS), Qt::LeftButton);
             RunEventsFor(300ms);
         }},
        {"a USB write that does not complete",
         [&] {
             ScopedEnv sys("PEMBERLUX_SYSFS_ROOT", (dir / "usb/sys").c_str());
             ScopedEnv dev("PEMBERLUX_DEV_ROOT", (dir / "usb/dev").c_str());
             HoldOutput(usbNode);
             WriteSettings(Record("LB-610", PORT_USB));
             Start();
             QTest::mouseClick(LabelPage().Control(IDC_PRINT_SELF_TEST), Qt::LeftButton);
             RunEventsFor(300ms);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.block();
        ASSERT_EQ(window->LabelSetupPage()->WorkersRunning(), 1) << "the job is not blocked";
        CloseWindow(c.what);
        // Stopped, not failed: nothing is shown.
        EXPECT_EQ(messages.Count(), 0u);
    }
}

TEST_F(Jobs, ResetWifiWaitsWhileTheSerialConfigurationIsBeingSent) {
    // A slow serial line: the configuration frame is held by flow control for a while.
    Pty line;
    PortSettings s = Record("LB-610", PORT_COM);
    s.comName = line.Path();
    s.flowControl = "Xon/Xoff";
    WriteSettings(s);
    Start();
    HoldOutput(line);
    PortSettings pending = s;
    pending.baudRate = "115200";
    SendMessage(&Page(), SerialSetEvent(pending, s));
    EXPECT_FALSE(Page().Control(CPagePortSet::IDC_RESET_WIFI)->isEnabled());
    QTest::mouseClick(Page().Control(CPagePortSet::IDC_RESET_WIFI), Qt::LeftButton);
    EXPECT_FALSE(Page().StartResetWifi()); // not while the first job runs
    RunEventsFor(300ms);
    line.Send("\x11"); // XON
    ASSERT_TRUE(WaitUntil([&] { return Page().WorkersRunning() == 0; }));
    ASSERT_TRUE(WaitUntil([&] { return Page().Control(CPagePortSet::IDC_RESET_WIFI)->isEnabled(); }));
    // Now the reset goes out, after the whole configuration frame.
    ASSERT_TRUE(Page().StartResetWifi());
    ASSERT_TRUE(WaitUntil([&] { return Page().WorkersRunning() == 0; }));
    const std::string got = line.Receive(18, 2s);
    const std::string hex = HexText(std::vector<std::uint8_t>(got.begin(), got.end()));
    ASSERT_EQ(hex.size(), 18u * 3 - 1) << hex;
    EXPECT_EQ(hex.substr(0, 14), "1B 0D 53 1B 23") << hex;
    EXPECT_EQ(hex.substr(18), "1B 10 45 1B 0D 53 1B 40 01 1B 10 45") << hex;
    EXPECT_EQ(messages.Count(), 0u);
    for (int id : {CPagePortSet::IDC_MODEL_LIST, CPagePortSet::IDC_SERIAL, CPagePortSet::IDC_SETTING})
        EXPECT_TRUE(Page().Control(id)->isEnabled()) << id;
}

} // namespace
} // namespace pemberlux
