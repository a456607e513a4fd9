// The firmware page in the program's window: the button rule by interface and
// model, Update without a file, and transfers to simulated USB printers with
// the transfer's own ids while the rest of the program keeps the model's.
#include "../shell/ShellFixture.h"
#include "DownloadSim.h"
#include "LabelPrinterSim.h"
#include "SimPrinter.h"
#include "Stalls.h"
#include "TextFit.h"
#include "Transports.h"
#include "core/port/DeviceLock.h"
#include "core/port/Exchange.h"
#include "ui/command/UpgradeFW.h"
#include "ui/toolkit/FileDialog.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <atomic>
#include <fstream>

namespace pemberlux {
namespace {

using namespace test;
using namespace std::chrono_literals;

Bytes Pattern(std::size_t size) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i)
        b[i] = static_cast<std::uint8_t>(i * 5 + 2);
    return b;
}

class UpgradePage : public ShellTest {
protected:
    CUpgradeFW& StartWith(const PortSettings& s) {
        WriteSettings(s);
        Start();
        ChooseMenu(CPemberluxDlg::MENU_FIRMWARE);
        return Fw();
    }
    // A USB tree served by the test's printers.
    void UseUsb() {
        usb = std::make_unique<sim::FakeUsbTree>(dir / "usb");
        usbSys.emplace("PEMBERLUX_SYSFS_ROOT", usb->SysfsRoot().c_str());
        usbDev.emplace("PEMBERLUX_DEV_ROOT", usb->DevRoot().c_str());
    }
    CUpgradeFW& Fw() const { return *window->UpgradePage(); }
    void Click(int id) const { QTest::mouseClick(Fw().Control(id), Qt::LeftButton); }
    std::filesystem::path WriteFile(const std::string& name, const Bytes& bytes) const {
        const std::filesystem::path path = dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    void Choose(const std::filesystem::path& path) {
        files.SetNextFileName(path.string());
        Click(CUpgradeFW::IDC_BROWSE);
    }
    bool WaitIdle() const {
        return WaitUntil([&] { return Fw().WorkersRunning() == 0 && !Fw().Updating(); }, 20s);
    }

    // A printer of the test, kept until the USB tree that serves it has stopped.
    template <class P, class... Args> P& Add(Args&&... args) {
        printers.push_back(std::make_unique<P>(std::forward<Args>(args)...));
        return static_cast<P&>(*printers.back());
    }

    std::vector<std::unique_ptr<sim::SimPrinter>> printers;
    std::unique_ptr<sim::FakeUsbTree> usb;
    std::optional<ScopedEnv> usbSys, usbDev;
    FileDialogRecorder files;
};

TEST_F(UpgradePage, ButtonRuleByInterfaceAndModel) {
    struct Case {
        const char* model;
        PortKind kind;
        bool update;
        bool modeShown;
        bool modeEnabled;
    };
    const Case cases[] = {
        {"LB-610", PORT_USB, true, true, true},    {"LB-610", PORT_LAN, true, true, true},
        {"LB-610", PORT_COM, false, true, false},  {"LB-710", PORT_LPT, false, true, false},
        {"TR-510", PORT_USB, true, false, false},  {"TR-520", PORT_LAN, false, false, false},
        {"TR-510", PORT_COM, false, false, false}, {"TR-520", PORT_LPT, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " kind " + std::to_string(c.kind));
        StartWith(Record(c.model, c.kind));
        RunEventsFor(50ms);
        EXPECT_EQ(Fw().Control(CUpgradeFW::IDC_UPDATE)->isEnabled(), c.update);
        EXPECT_EQ(Fw().Control(CUpgradeFW::IDC_DOWNLOAD_MODE)->isVisibleTo(&Fw()), c.modeShown);
        EXPECT_EQ(Fw().Control(CUpgradeFW::IDC_DOWNLOAD_MODE)->isEnabled(), c.modeEnabled);
        const std::string note = Fw().ControlText(CUpgradeFW::IDC_INSTRUCTIONS);
        EXPECT_EQ(note.find("via USB connection") != std::string::npos, c.model[0] == 'T') << note;
        window->hide();
        window.reset();
    }
}

TEST_F(UpgradePage, UpdateWithoutAFileWarnsAndChangesNothing) {
    StartWith(Record("TR-510", PORT_USB));
    Click(CUpgradeFW::IDC_UPDATE);
    ASSERT_EQ(messages.Count(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, "Select a file please.");
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Warning);
    EXPECT_FALSE(Fw().Updating());
    EXPECT_FALSE(Fw().Control(CUpgradeFW::IDC_PROGRESS)->isVisible());
    EXPECT_TRUE(Fw().Control(CUpgradeFW::IDC_UPDATE)->isEnabled());
}

TEST_F(UpgradePage, UnknownEndingIsRefusedBeforeAnythingIsSent) {
    StartWith(Record("TR-510", PORT_USB));
    Choose(WriteFile("FIRMWARE.Fw", Pattern(10)));
    Click(CUpgradeFW::IDC_UPDATE);
    ASSERT_EQ(messages.Count(), 1u);
    EXPECT_NE(messages.Messages()[0].text.find(".fw"), std::string::npos);
    EXPECT_EQ(Fw().WorkersRunning(), 0u);
}

TEST_F(UpgradePage, FirmwareGoesToTheLoaderIdsAndLaterJobsToTheModel) {
    UseUsb();
    auto& printer = Add<sim::SimPrinter>(); // the TR-520 as the model finds it
    auto& loader = Add<sim::DownloadSim>();
    usb->AddPrinter(printer, "3a7e", "41a3");
    usb->AddPrinter(loader, "3a7e", "41a2");
    StartWith(Record("TR-520", PORT_USB));
    const Bytes file = Pattern(1000);
    Choose(WriteFile("FIRMWARE.FW", file));
    Click(CUpgradeFW::IDC_UPDATE);
    EXPECT_TRUE(Fw().Control(CUpgradeFW::IDC_PROGRESS)->isVisible());
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(WaitUntil([&] { return messages.Count() >= 1; }, 10s));
    EXPECT_EQ(messages.Messages()[0].text, "File sent successfully.");
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Information);
    ASSERT_TRUE(loader.WaitForImage(1000, 10s));
    EXPECT_EQ(loader.Current().kind, "firmware");
    EXPECT_EQ(loader.Current().image, file);
    EXPECT_TRUE(printer.Received().empty());
    // The page is idle again, and the rest of the program still talks to the model's printer.
    EXPECT_EQ(Fw().ControlText(CUpgradeFW::IDC_UPDATE), "Update");
    EXPECT_FALSE(Fw().Control(CUpgradeFW::IDC_PROGRESS)->isVisible());
    EXPECT_EQ(UsbVendorId.Get(), "3A7E");
    EXPECT_EQ(UsbSecondId.Get(), "41A3");
    PrinterPort port(Fw().Settings(), UsbSelection::Current());
    const Bytes probe{0x1B, 0x40};
    EXPECT_TRUE(SendFrame(port, probe, {}).Ok());
    EXPECT_TRUE(printer.WaitForBytes(2, 10s));
    EXPECT_EQ(loader.Current().image.size(), 1000u);
}

TEST_F(UpgradePage, ImageAfterDownloadModeGoesToTheLabelPrintersLoader) {
    UseUsb();
    auto& printer = Add<sim::LabelPrinterSim>(sim::LabelModel::LB610);
    auto& loader = Add<sim::DownloadSim>();
    auto& otherLoader = Add<sim::DownloadSim>(); // where an image goes without Download Mode
    usb->AddPrinter(otherLoader, "2c5d", "5e21");
    std::atomic<bool> loaderShown{false}; // the printer counts the command before its loader shows up
    printer.SetDownloadModeHook([&] {
        usb->AddPrinter(loader, "3a7e", "5e10");
        loaderShown = true;
    });
    usb->AddPrinter(printer, "3a7e", "5e10");
    StartWith(Record("LB-610", PORT_USB));
    Click(CUpgradeFW::IDC_DOWNLOAD_MODE);
    ASSERT_TRUE(WaitUntil([&] { return loaderShown && Fw().WorkersRunning() == 0; }, 10s));
    EXPECT_EQ(printer.Counters().downloadModes, 1u);
    EXPECT_EQ(printer.Received(), (Bytes{0x1B, 0x0D, 0x53, 0x1B, 0x90, 0x46, 0x57}));
    EXPECT_FALSE(Fw().Control(CUpgradeFW::IDC_DOWNLOAD_MODE)->isEnabled());
    EXPECT_TRUE(Fw().DownloadModeSent());

    const Bytes file = Pattern(50);
    Choose(WriteFile("app.bin", file));
    Click(CUpgradeFW::IDC_UPDATE);
    EXPECT_TRUE(Fw().Control(CUpgradeFW::IDC_WAIT_NOTICE)->isVisible());
    EXPECT_EQ(Fw().ControlText(CUpgradeFW::IDC_WAIT_NOTICE), "Please wait for a while, \nfirmware is being loading...");
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(loader.WaitForImage(50, 10s));
    EXPECT_EQ(loader.Current().kind, "image");
    EXPECT_EQ(loader.Current().image, file);
    EXPECT_EQ(otherLoader.Current().image.size(), 0u);
    EXPECT_FALSE(Fw().Control(CUpgradeFW::IDC_WAIT_NOTICE)->isVisible());
    EXPECT_FALSE(Fw().DownloadModeSent());
    EXPECT_TRUE(Fw().Control(CUpgradeFW::IDC_DOWNLOAD_MODE)->isEnabled());

    // Without Download Mode the same image goes to the other ids.
    Click(CUpgradeFW::IDC_UPDATE);
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(otherLoader.WaitForImage(50, 10s));
    EXPECT_EQ(otherLoader.Current().image, file);
}

// Update clicked while Download Mode is still on its way: the transfer waits
// for it and goes once it is out; after a failed Download Mode its message is
// all there is and nothing else goes. The test holds the printer's line so
// that Download Mode is still waiting for it when Update is clicked.
TEST_F(UpgradePage, UpdateDuringDownloadModeWaitsForItsEnd) {
    for (const bool reachable : {true, false}) {
        SCOPED_TRACE(reachable ? "Download Mode sent" : "Download Mode failed");
        sim::LabelPrinterSim printer(sim::LabelModel::LB610);
        auto tcp = std::make_unique<sim::TcpServer>(printer);
        PortSettings s = Record("LB-610", PORT_LAN);
        s.tcpPort = tcp->Port();
        const std::string line = "tcp:" + s.ipAddress + ":" + std::to_string(s.tcpPort);
        ASSERT_TRUE(AcquireDevice(line, JobLimits{}));
        StartWith(s);
        messages.Clear();
        Click(CUpgradeFW::IDC_DOWNLOAD_MODE);
        ASSERT_TRUE(Fw().Held(CUpgradeFW::IDC_DOWNLOAD_MODE));
        const Bytes file = Pattern(300);
        Choose(WriteFile("app.bin", file));
        Click(CUpgradeFW::IDC_UPDATE);
        EXPECT_TRUE(Fw().Updating());
        EXPECT_FALSE(Fw().Control(CUpgradeFW::IDC_UPDATE)->isEnabled());
        EXPECT_FALSE(Fw().Control(CUpgradeFW::IDC_BROWSE)->isEnabled());
        EXPECT_TRUE(Fw().Control(CUpgradeFW::IDC_WAIT_NOTICE)->isVisible());
        EXPECT_EQ(Fw().ControlText(CUpgradeFW::IDC_WAIT_NOTICE),
                  "Download Mode is still being sent; the update starts when it is done.");
        EXPECT_EQ(uiwalk::FindClippedTexts(&Fw()).size(), 0u);
        RunEventsFor(300ms);
        EXPECT_TRUE(printer.Received().empty());
        if (!reachable) tcp.reset(); // the printer is gone before Download Mode gets the line
        ReleaseDevice(line);

        ASSERT_TRUE(WaitIdle());
        if (reachable) {
            Bytes expected{0x1B, 0x0D, 0x53, 0x1B, 0x90, 0x46, 0x57};
            expected.insert(expected.end(), file.begin(), file.end());
            ASSERT_TRUE(printer.WaitForBytes(expected.size(), 10s));
            EXPECT_EQ(printer.Received(), expected);
            // The transfer's own end, and nothing else.
            EXPECT_EQ(messages.Texts(), std::vector<std::string>{LoadUiString(176)});
        } else {
            // Download Mode's own failure (the printer is not there), once; nothing of the transfer.
            ASSERT_EQ(messages.Count(), 1u);
            EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Warning);
            EXPECT_NE(messages.Texts()[0], LoadUiString(176));
            EXPECT_TRUE(printer.Received().empty());
            EXPECT_TRUE(Fw().Control(CUpgradeFW::IDC_DOWNLOAD_MODE)->isEnabled());
        }
        EXPECT_FALSE(Fw().Control(CUpgradeFW::IDC_WAIT_NOTICE)->isVisible());
        EXPECT_FALSE(Fw().Control(CUpgradeFW::IDC_PROGRESS)->isVisible());
        EXPECT_TRUE(Fw().Control(CUpgradeFW::IDC_UPDATE)->isEnabled());
        EXPECT_TRUE(Fw().Control(CUpgradeFW::IDC_BROWSE)->isEnabled());
        EXPECT_EQ(Fw().ControlText(CUpgradeFW::IDC_UPDATE), "Update");
        window.reset();
    }
}

// A loader that stops reading part way: the transfer gives up once nothing
// has gone for its stall bound, says so, and the page is idle again.
TEST_F(UpgradePage, ALoaderThatStopsTakingEndsWithTheWriteFailure) {
    UseUsb();
    auto& loader = Add<sim::DownloadSim>();
    sim::Faults busy;
    busy.busyAfter = 1;
    busy.busyFor = 10min;
    loader.SetFaults(busy);
    usb->AddPrinter(loader, "3a7e", "41a2");
    StartWith(Record("TR-510", PORT_USB));
    const Bytes file = Pattern(4u << 20); // more than the line holds
    Choose(WriteFile("FIRMWARE.FW", file));
    Click(CUpgradeFW::IDC_UPDATE);
    ASSERT_TRUE(WaitUntil([&] { return messages.Count() >= 1; }, 120s));
    EXPECT_EQ(messages.Messages()[0].text, "Unable to send file to port.");
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Warning);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(messages.Count(), 1u);
    EXPECT_LT(loader.Current().image.size(), file.size());
    EXPECT_FALSE(Fw().Updating());
    EXPECT_EQ(Fw().ControlText(CUpgradeFW::IDC_UPDATE), "Update");
    EXPECT_FALSE(Fw().Control(CUpgradeFW::IDC_PROGRESS)->isVisible());
    EXPECT_TRUE(Fw().Control(CUpgradeFW::IDC_UPDATE)->isEnabled());
    EXPECT_TRUE(Fw().Control(CUpgradeFW::IDC_BROWSE)->isEnabled());
    EXPECT_EQ(UsbSecondId.Get(), "41A2");
    usb.reset(); // the busy loader's line, before the loader goes
}

// A printer on the network that keeps the connection open after the image:
// the page does not call that a success, it says the printer did not confirm.
TEST_F(UpgradePage, ADownloadThePrinterDoesNotConfirmIsNotShownAsSent) {
    EndingPort printer(EndingPort::Holds, 0ms);
    PortSettings s = Record("LB-610", PORT_LAN);
    s.tcpPort = printer.Port();
    StartWith(s);
    messages.Clear();
    const Bytes file = Pattern(300);
    Choose(WriteFile("FIRMWARE.FW", file));
    Click(CUpgradeFW::IDC_UPDATE);
    ASSERT_TRUE(WaitUntil([&] { return messages.Count() >= 1; }, 60s));
    EXPECT_EQ(messages.Messages()[0].text, "The file was sent, but the printer did not confirm that it received it. "
                                           "Check that the printer restarts with the new firmware before you use it.");
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Warning);
    EXPECT_EQ(printer.Received(), file.size() + 4);
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(Fw().Control(CUpgradeFW::IDC_UPDATE)->isEnabled());
}

// No printer with the transfer's ids, or one whose device node is gone: the
// open's message, and for the node the line that says why.
TEST_F(UpgradePage, NoPrinterWithTheTransferIdsShowsTheOpenFailure) {
    UseUsb();
    sim::SimPrinter other, gone;
    usb->AddPrinter(other, "3a7e", "41a3");
    StartWith(Record("TR-520", PORT_USB));
    Choose(WriteFile("app.bin", Pattern(100)));
    const struct {
        const char* pid; // a printer with the image's vendor id added before the run
        bool nodeGone;
        std::string text;
    } cases[] = {
        {nullptr, false, "Get no information about printer."},
        {"5e21", true, "Open the USB interface fail!\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string text = c.text;
        if (c.pid) {
            const std::string node = usb->AddPrinter(gone, "2c5d", c.pid);
            if (c.nodeGone) std::filesystem::remove(node);
            text += node + ": no such device. Check that the printer is connected and switched on.";
        }
        messages.Clear();
        Click(CUpgradeFW::IDC_UPDATE);
        ASSERT_TRUE(WaitUntil([&] { return messages.Count() >= 1; }, 10s));
        EXPECT_EQ(messages.Messages()[0].text, text);
        EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
        ASSERT_TRUE(WaitIdle());
        EXPECT_TRUE(other.Received().empty());
        EXPECT_TRUE(Fw().Control(CUpgradeFW::IDC_UPDATE)->isEnabled());
        EXPECT_EQ(Fw().ControlText(CUpgradeFW::IDC_UPDATE), "Update");
    }
}

} // namespace
} // namespace pemberlux
