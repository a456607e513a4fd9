// The port object itself: what other kinds do, closing, the snapshot it opens
// from, the USB identity parser and the messages shown for open failures.
#include "PortFixtures.h"
#include "ProcessFigures.h"
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"
#include "core/port/Exchange.h"
#include "core/port/PortIo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

namespace pemberlux::test {
namespace {

TEST(PrinterPortTest, StartsClosedAsSerialPort) {
    PrinterPort port;
    EXPECT_EQ(port.kind, PORT_COM);
    EXPECT_TRUE(AllClosed(port));
    EXPECT_TRUE(port.comName.empty());
    EXPECT_TRUE(port.lptName.empty());
    EXPECT_EQ(port.data, nullptr);
    EXPECT_EQ(port.length, 0u);
}

TEST(PrinterPortTest, OtherKindsDoNothing) {
    TempDir dir;
    dir.Write("lp", "");
    for (int kind : {0, 5, -1}) {
        PrinterPort port;
        port.kind = static_cast<PortKind>(kind);
        port.comName = port.lptName = (dir / "lp").string();
        port.SetData("abc", 3);
        char buf[4];
        EXPECT_FALSE(OpenPort(port, {}));
        EXPECT_EQ(WritePort(port, {}), 0u);
        EXPECT_EQ(ReadPort(port, buf, sizeof buf, {}), 0u);
        EXPECT_TRUE(AllClosed(port));
    }
    EXPECT_EQ(dir.Read("lp"), "");
}

TEST(PrinterPortTest, CloseOnANeverOpenedPort) {
    PrinterPort port;
    ClosePort(port);
    ClosePort(port);
    EXPECT_TRUE(AllClosed(port));
}

TEST(PrinterPortTest, WriteOrReadOnAClosedPortFails) {
    PrinterPort port;
    port.SetData("x", 1);
    char buf[4];
    for (PortKind kind : {PORT_COM, PORT_LPT, PORT_LAN}) {
        port.kind = kind;
        EXPECT_EQ(ErrorOf([&] { WritePort(port, {}); }), PortErrorCode::Write) << kind;
        EXPECT_EQ(ErrorOf([&] { ReadPort(port, buf, sizeof buf, {}); }), PortErrorCode::Read) << kind;
    }
}

TEST(PrinterPortTest, OpeningAgainReleasesWhatThePortHeld) {
    TempDir dir;
    dir.Write("lp", "");
    PrinterPort port;
    port.kind = PORT_LPT;
    port.lptName = (dir / "lp").string();
    ASSERT_TRUE(OpenPort(port, {}));
    std::size_t once = OpenDescriptors();
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(OpenPort(port, {}));
    EXPECT_EQ(OpenDescriptors(), once);
    ClosePort(port);
    EXPECT_EQ(OpenDescriptors(), once - 1);
}

class PortSnapshotTest : public PortGlobalsTest {};

// A job's port opens what it was built from: another window changing the
// interface afterwards changes neither the device nor the line settings.
TEST_F(PortSnapshotTest, SerialAndNetworkPortsOpenTheirSnapshot) {
    Pty line, otherLine;
    SocketPrinter printer, otherPrinter;
    PortSettings serial;
    serial.portKind = PORT_COM;
    serial.comName = line.Path();
    serial.baudRate = "19200";
    PortSettings network;
    network.portKind = PORT_LAN;
    network.ipAddress = "127.0.0.1";
    network.tcpPort = printer.Port();
    PrinterPort serialPort(serial), networkPort(network);

    PortSettings changed;
    changed.portKind = PORT_COM;
    changed.comName = otherLine.Path();
    changed.baudRate = "2400";
    changed.ipAddress = "127.0.0.1";
    changed.tcpPort = otherPrinter.Port();
    CurrentPortSettings = changed;

    for (PrinterPort* port : {&serialPort, &networkPort}) {
        ASSERT_TRUE(OpenPort(*port, {}));
        port->SetData("x", 1);
        EXPECT_EQ(WritePort(*port, {}), 1u);
    }
    termios t = line.Line();
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(line.Receive(1), "x");
    EXPECT_EQ(printer.Receive(1), "x");
    EXPECT_EQ(otherLine.Receive(1, 100ms), "");
    EXPECT_FALSE(otherPrinter.Accept(100ms));
}

TEST_F(PortSnapshotTest, UsbPortKeepsTheSelectionItWasBuiltWith) {
    TempDir dir;
    sim::SimPrinter selected, other;
    sim::FakeUsbTree tree(dir.Path());
    tree.AddPrinter(selected, "3a7e", "41a2");
    tree.AddPrinter(other, "1d90", "0001");
    ScopedEnv sysfs("PEMBERLUX_SYSFS_ROOT", tree.SysfsRoot().c_str());
    ScopedEnv dev("PEMBERLUX_DEV_ROOT", tree.DevRoot().c_str());
    UsbVendorId = "3A7E";
    UsbSecondId = "41A2";
    UsbVendorOnly = 0;
    PortSettings usb;
    usb.portKind = PORT_USB;
    PrinterPort port(usb);
    UsbVendorId = "1D90";
    UsbSecondId = "0001";

    const std::uint8_t frame[] = {0x1d, 'I'};
    EXPECT_TRUE(SendFrame(port, frame, {}).Ok());
    EXPECT_TRUE(selected.WaitForBytes(sizeof frame, 2000ms));
    EXPECT_EQ(selected.Received(), sim::Bytes(std::begin(frame), std::end(frame)));
    EXPECT_TRUE(other.Received().empty());
}

// The GUI thread replaces the settings while a worker's open reads them: the
// reader must always see one whole record, never a mix or a torn string.
TEST(CurrentPortSettingsTest, AReaderSeesWholeRecordsWhileTheyAreReplaced) {
    PortSettings a, b;
    a.comName = std::string(200, 'a');
    a.baudRate = "9600";
    b.comName = std::string(300, 'b');
    b.baudRate = "115200";
    CurrentPortSettings = a;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i)
            CurrentPortSettings = (i % 2 ? a : b);
    });
    int mixed = 0;
    for (int i = 0; i < 20000; ++i) {
        const PortSettings seen = CurrentPortSettings.Get();
        if (!(seen == a) && !(seen == b)) ++mixed;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(mixed, 0);
    CurrentPortSettings = PortSettings{};
}

TEST(DeviceNodeTest, WindowsPortNamesMapToLinuxNodes) {
    EXPECT_EQ(portio::DeviceNodeFor("COM1", "COM", "/dev/ttyS"), "/dev/ttyS0");
    EXPECT_EQ(portio::DeviceNodeFor("com12", "COM", "/dev/ttyS"), "/dev/ttyS11");
    EXPECT_EQ(portio::DeviceNodeFor("LPT2", "LPT", "/dev/lp"), "/dev/lp1");
    // Anything else is a path of its own.
    EXPECT_EQ(portio::DeviceNodeFor("/dev/ttyUSB0", "COM", "/dev/ttyS"), "/dev/ttyUSB0");
    EXPECT_EQ(portio::DeviceNodeFor("COM0", "COM", "/dev/ttyS"), "COM0");
    EXPECT_EQ(portio::DeviceNodeFor("COM", "COM", "/dev/ttyS"), "COM");
    EXPECT_EQ(portio::DeviceNodeFor("COM1x", "COM", "/dev/ttyS"), "COM1x");
}

using VidPid = std::pair<std::string, std::string>;

TEST(ParseVidPidTest, FindsBothIdsInAnyCase) {
    EXPECT_EQ(ParseVidPid("usb#vid_3a7e&pid_5e10#lp0"), (VidPid{"3A7E", "5E10"}));
    EXPECT_EQ(ParseVidPid("\\\\?\\USB#VID_04B8&PID_0E15#X#{28d78fad}"), (VidPid{"04B8", "0E15"}));
}

TEST(ParseVidPidTest, MissingIdFindsNothing) {
    EXPECT_EQ(ParseVidPid("USB#VID_3A7E#lp0"), std::nullopt);
    EXPECT_EQ(ParseVidPid("USB#PID_3A7E#lp0"), std::nullopt);
}

TEST(ParseVidPidTest, ShortTailTakesWhatThereIs) {
    EXPECT_EQ(ParseVidPid("pid_12&vid_ab"), (VidPid{"AB", "12&V"}));
}

TEST(ReportPortErrorTest, OpenFailureMessageDependsOnTheInterface) {
    EXPECT_EQ(ReportPortError(PortErrorCode::Open, PORT_COM), (PortErrorMessage{StringId{141}, MessageIcon::Warning}));
    EXPECT_EQ(ReportPortError(PortErrorCode::Open, PORT_LPT), (PortErrorMessage{StringId{139}, MessageIcon::Warning}));
    EXPECT_EQ(ReportPortError(PortErrorCode::Open, PORT_USB), (PortErrorMessage{StringId{140}, MessageIcon::Warning}));
    EXPECT_EQ(ReportPortError(PortErrorCode::Open, PORT_LAN), (PortErrorMessage{StringId{206}, MessageIcon::Warning}));
    EXPECT_EQ(ReportPortError(PortErrorCode::Open, PortKind{}), std::nullopt);
}

TEST(ReportPortErrorTest, OtherOpenFailuresAreTheSameForEveryInterface) {
    for (PortKind kind : std::initializer_list<PortKind>{PORT_COM, PORT_LPT, PORT_USB, PORT_LAN, PortKind{}}) {
        EXPECT_EQ(ReportPortError(PortErrorCode::Busy, kind), (PortErrorMessage{StringId{145}, MessageIcon::Warning}));
        EXPECT_EQ(ReportPortError(PortErrorCode::NoDevices, kind),
                  (PortErrorMessage{StringId{188}, MessageIcon::Warning}));
        EXPECT_EQ(ReportPortError(PortErrorCode::NoInfo, kind),
                  (PortErrorMessage{StringId{189}, MessageIcon::Warning}));
        EXPECT_EQ(ReportPortError(PortErrorCode::Write, kind), std::nullopt);
        EXPECT_EQ(ReportPortError(PortErrorCode::Read, kind), std::nullopt);
        EXPECT_EQ(ReportPortError(PortErrorCode::None, kind), std::nullopt);
    }
}

TEST(PortErrorTest, CarriesItsCode) {
    try {
        throw PortError{PortErrorCode::NoInfo};
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "PORT_ERR_NO_INFO");
        EXPECT_EQ(static_cast<int>(dynamic_cast<const PortError&>(e).code), 8006);
    }
}

} // namespace
} // namespace pemberlux::test
