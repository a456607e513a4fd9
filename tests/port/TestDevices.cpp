// The device lists and their monitor: from the simulator's fake tree, and from
// libudev on this machine as far as its hardware goes.
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"
#include "core/port/Devices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <poll.h>

namespace pemberlux::test {
namespace {

namespace fs = std::filesystem;

// Whether the monitor's descriptor turns readable within `ms`.
bool Readable(const DeviceMonitor& monitor, int ms) {
    pollfd p{monitor.Fd(), POLLIN, 0};
    return ::poll(&p, 1, ms) == 1;
}

TEST(Devices, FakeTreeListsEveryKindInNaturalOrderAndItsMonitorHearsPlugging) {
    TempDir dir;
    sim::SimPrinter printer;
    sim::FakeUsbTree tree(dir / "usb");
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyS0", "ttyS1", "ttyS2", "ttyACM0", "lp1", "lp0", "lpx", "tty1"})
        std::ofstream(tree.DevRoot() / name).put('\n');
    // Built-in ports as the kernel shows them: a UART behind ttyS1 only; ttyS2 has no type.
    for (const auto& [name, type] : {std::pair{"ttyS0", "0\n"}, std::pair{"ttyS1", "4\n"}}) {
        fs::create_directories(tree.SysfsRoot() / "class/tty" / name);
        std::ofstream(tree.SysfsRoot() / "class/tty" / name / "type") << type;
    }
    ScopedEnv sysfs("PEMBERLUX_SYSFS_ROOT", tree.SysfsRoot().c_str());
    ScopedEnv devRoot("PEMBERLUX_DEV_ROOT", tree.DevRoot().c_str());
    DeviceMonitor monitor;
    ASSERT_GE(monitor.Fd(), 0);
    EXPECT_FALSE(monitor.Changed()); // nothing waits: returns at once

    const std::string lp0 = tree.AddPrinter(printer, "3A7E", "5E10");
    ASSERT_TRUE(Readable(monitor, 10000));
    EXPECT_TRUE(monitor.Changed());
    const std::string dev = tree.DevRoot().string() + "/";
    const std::vector<DeviceEntry> expected = {
        {DeviceEntry::Serial, dev + "ttyS1", "", "", ""},    {DeviceEntry::Serial, dev + "ttyUSB2", "", "", ""},
        {DeviceEntry::Serial, dev + "ttyUSB10", "", "", ""}, {DeviceEntry::Serial, dev + "ttyACM0", "", "", ""},
        {DeviceEntry::Parallel, dev + "lp0", "", "", ""},    {DeviceEntry::Parallel, dev + "lp1", "", "", ""},
        {DeviceEntry::Usb, lp0, "", "3a7e", "5e10"},
    };
    EXPECT_EQ(ListDevices(), expected);
    EXPECT_EQ(DeviceLabel(expected.back()), lp0 + " (3a7e:5e10)");
    EXPECT_EQ(DeviceLabel(expected[1]), dev + "ttyUSB2");
    EXPECT_EQ(DeviceLabel({DeviceEntry::Serial, "/dev/ttyUSB0", "/dev/serial/by-id/usb-X_Y-if00-port0", "", ""}),
              "/dev/ttyUSB0 (usb-X_Y-if00-port0)");

    ASSERT_TRUE(tree.RemovePrinter(lp0));
    EXPECT_FALSE(tree.RemovePrinter(lp0));
    ASSERT_TRUE(Readable(monitor, 10000));
    EXPECT_TRUE(monitor.Changed());
    EXPECT_FALSE(Readable(monitor, 0));
    EXPECT_TRUE(ListDevices(DeviceEntry::Usb).empty());
}

TEST(Devices, ABuiltInPortIsASerialLineOnlyWithAUartBehindIt) {
    const struct {
        const char* name;
        const char* type;
        bool listed;
    } cases[] = {
        {"ttyS0", "4", true},   {"ttyS1", "0", false}, {"ttyS2", "", false},  {"ttyS31", "1", true},
        {"ttyUSB0", "", true},  {"ttyACM2", "", true}, {"ttyAMA0", "", true}, {"rfcomm0", "", true},
        {"ttyUSB0", "0", true}, {"ttyS", "4", false},  {"tty1", "4", false},  {"ttyprintk", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(devices::ListedSerialLine(c.name, c.type), c.listed) << c.name << " type '" << c.type << "'";
}

// Without the fake tree the lists come from libudev: every built-in serial
// line with a UART found behind it (port type not 0) and no other, and every
// usblp printer, as sysfs shows them. The monitor opens and does not block.
TEST(Devices, UdevListsWhatThisMachineHas) {
    ScopedEnv sysfs("PEMBERLUX_SYSFS_ROOT", "");
    std::vector<std::string> uarts, usbPrinters, listedUarts, listedUsb;
    std::size_t withoutUart = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/sys/class/tty", ec)) {
        const std::string name = e.path().filename().string();
        std::ifstream type(e.path() / "type");
        int value = 0;
        if (name.rfind("ttyS", 0) != 0 || !(type >> value)) continue;
        if (value != 0)
            uarts.push_back("/dev/" + name);
        else
            ++withoutUart;
    }
    for (const auto& e : fs::directory_iterator("/sys/class/usbmisc", ec))
        if (e.path().filename().string().rfind("lp", 0) == 0)
            usbPrinters.push_back("/dev/usb/" + e.path().filename().string());
    for (const DeviceEntry& d : ListDevices()) {
        if (d.kind == DeviceEntry::Serial && d.node.rfind("/dev/ttyS", 0) == 0) listedUarts.push_back(d.node);
        if (d.kind == DeviceEntry::Usb) listedUsb.push_back(d.node);
    }
    std::sort(uarts.begin(), uarts.end());
    std::sort(listedUarts.begin(), listedUarts.end());
    EXPECT_EQ(listedUarts, uarts);
    std::sort(usbPrinters.begin(), usbPrinters.end());
    std::sort(listedUsb.begin(), listedUsb.end());
    EXPECT_EQ(listedUsb, usbPrinters);

    DeviceMonitor monitor;
    EXPECT_GE(monitor.Fd(), 0);
    EXPECT_FALSE(monitor.Changed());
    // The rows above hold the rule everywhere; that udev's list keeps to it shows only here.
    if (withoutUart == 0)
        GTEST_SKIP() << "listed as expected, but no ttyS here lacks a UART (port type 0): the udev list's filter "
                        "is seen only on a machine with such a port";
}

} // namespace
} // namespace pemberlux::test
