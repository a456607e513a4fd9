// The device lists and their monitor: from the simulator's fake tree, and from
// libudev on this machine as far as its hardware goes.
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"
#include "core/base/UiText.h"
#include "core/port/Devices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <poll.h>

namespace pemberlux {
void PrintTo(const PortChoice& c, std::ostream* os) {
    *os << '{' << c.value << ", " << c.text << '}';
}
} // namespace pemberlux

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
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyS2", "lp1", "lp0", "lpx", "tty1"})
        std::ofstream(tree.DevRoot() / name).put('\n');
    // Built-in ports as the kernel shows them: a UART behind ttyS1 only (type 0
    // behind ttyS0; ttyS2 has no type at all).
    tree.AddSerialLine("ttyS0", 0);
    tree.AddSerialLine("ttyS1", 4);
    tree.AddSerialLine("ttyACM0", std::nullopt, "usb-Tavrel_LB-610_0042-if00");
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
        {DeviceEntry::Serial, dev + "ttyS1", "", "", ""},
        {DeviceEntry::Serial, dev + "ttyUSB2", "", "", ""},
        {DeviceEntry::Serial, dev + "ttyUSB10", "", "", ""},
        {DeviceEntry::Serial, dev + "ttyACM0", dev + "serial/by-id/usb-Tavrel_LB-610_0042-if00", "", ""},
        {DeviceEntry::Parallel, dev + "lp0", "", "", ""},
        {DeviceEntry::Parallel, dev + "lp1", "", "", ""},
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

// The dialogs' port lists: a COMn or LPTn entry for each built-in port the
// list has, the other lines by their stable name, and the stored value kept,
// marked when its device is not there.
TEST(Devices, PortChoicesNameTheDeviceAndKeepTheStoredPort) {
    TempDir dir;
    sim::FakeUsbTree tree(dir / "usb");
    for (const char* name : {"ttyS0", "ttyUSB2", "lp0", "lp1"})
        std::ofstream(tree.DevRoot() / name).put('\n');
    tree.AddSerialLine("ttyS1", 4);
    tree.AddSerialLine("ttyACM0", std::nullopt, "usb-Tavrel_LB-610_0042-if00");
    const std::string there = (dir / "pty-like").string();
    std::ofstream(there).put('\n');
    ScopedEnv sysfs("PEMBERLUX_SYSFS_ROOT", tree.SysfsRoot().c_str());
    ScopedEnv devRoot("PEMBERLUX_DEV_ROOT", tree.DevRoot().c_str());
    const std::string dev = tree.DevRoot().string() + "/";
    const std::vector<PortChoice> serial = {
        {"COM2", "COM2 (/dev/ttyS1)"},
        {dev + "ttyUSB2", dev + "ttyUSB2"},
        {dev + "ttyACM0", "usb-Tavrel_LB-610_0042-if00 (" + dev + "ttyACM0)"},
    };
    const std::vector<PortChoice> parallel = {{"LPT1", "LPT1 (/dev/lp0)"}, {"LPT2", "LPT2 (/dev/lp1)"}};
    auto with = [](std::vector<PortChoice> list, std::vector<PortChoice> more) {
        list.insert(list.end(), more.begin(), more.end());
        return list;
    };
    struct Case {
        DeviceEntry::Kind kind;
        int lang;
        std::vector<std::string> keep;
        std::vector<PortChoice> expected;
    } const cases[] = {
        {DeviceEntry::Serial, LANG_ENGLISH, {}, serial},
        {DeviceEntry::Serial, LANG_ENGLISH, {"COM2", dev + "ttyACM0"}, serial},
        // ttyS0 is there, but with no UART behind it.
        {DeviceEntry::Serial, LANG_ENGLISH, {"COM1", "COM1"}, with(serial, {{"COM1", "COM1 (/dev/ttyS0, absent)"}})},
        {DeviceEntry::Serial, LANG_CHINESE, {"COM1"}, with(serial, {{"COM1", "COM1 (/dev/ttyS0，不存在)"}})},
        {DeviceEntry::Serial, LANG_ENGLISH, {"COM10"}, with(serial, {{"COM10", "COM10 (/dev/ttyS9, absent)"}})},
        {DeviceEntry::Serial, LANG_ENGLISH, {"com2"}, with(serial, {{"com2", "com2 (/dev/ttyS1)"}})},
        {DeviceEntry::Serial,
         LANG_ENGLISH,
         {dev + "ttyUSB9", there},
         with(serial, {{dev + "ttyUSB9", dev + "ttyUSB9 (absent)"}, {there, there}})},
        {DeviceEntry::Serial,
         LANG_CHINESE,
         {dev + "ttyUSB9"},
         with(serial, {{dev + "ttyUSB9", dev + "ttyUSB9 (不存在)"}})},
        // Not port names: the placeholder of a missing value, a name of no port.
        {DeviceEntry::Serial, LANG_ENGLISH, {"", "<No Name>", "COM0", "ttyS1"}, serial},
        {DeviceEntry::Parallel, LANG_ENGLISH, {"LPT2", ""}, parallel},
        {DeviceEntry::Parallel, LANG_ENGLISH, {"LPT4", "lp0"}, with(parallel, {{"LPT4", "LPT4 (/dev/lp3, absent)"}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.keep));
        SetThreadUiLanguage(c.lang);
        EXPECT_EQ(PortChoices(c.kind, c.keep), c.expected);
    }
    SetThreadUiLanguage(LANG_ENGLISH);
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
    // The rows above hold the rule everywhere; that udev's list keeps to it
    // shows only on a machine with a ttyS without a UART (port type 0).
    RecordProperty("ttyS_without_uart", static_cast<int>(withoutUart));
}

} // namespace
} // namespace pemberlux::test
