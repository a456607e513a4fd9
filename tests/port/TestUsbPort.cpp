// The USB backend on a fake usblp tree whose printers are simulated on ptys:
// which printers are opened, who receives a write, how reads end.
#include "PortFixtures.h"
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

namespace pemberlux::test {
namespace {

namespace fs = std::filesystem;

class UsbPortTest : public PortGlobalsTest {
protected:
    void SetUp() override {
        port.kind = PORT_USB;
        UsbVendorId = "";
        UsbSecondId = "";
        UsbVendorOnly = 0;
    }

    // Adds a simulated printer with these ids; returns it.
    sim::SimPrinter& Add(const std::string& vid, const std::string& pid) {
        printers.emplace_back();
        tree.AddPrinter(printers.back(), vid, pid);
        return printers.back();
    }

    void Select(int vendorOnly, const std::string& vendor, const std::string& second) {
        UsbVendorOnly = vendorOnly;
        UsbVendorId = vendor;
        UsbSecondId = second;
    }

    // Opens, writes `frame`, closes; gives back the error code or 0.
    int Exchange(const std::string& frame) {
        int code = ErrorOf([&] {
            OpenPort(port);
            port.SetData(frame.data(), frame.size());
            WriteUsbPort(port);
        });
        ClosePort(port);
        return code;
    }

    static bool Got(const sim::SimPrinter& printer, const std::string& bytes) {
        printer.WaitForBytes(bytes.size(), 1000ms);
        return printer.Received() == sim::Bytes(bytes.begin(), bytes.end());
    }

    TempDir dir;
    // Outlives the tree, whose threads serve them.
    std::deque<sim::SimPrinter> printers;
    sim::FakeUsbTree tree{dir.Path()};
    ScopedEnv sysfs{"PEMBERLUX_SYSFS_ROOT", tree.SysfsRoot().c_str()};
    ScopedEnv dev{"PEMBERLUX_DEV_ROOT", tree.DevRoot().c_str()};
    PrinterPort port;
};

TEST_F(UsbPortTest, NoUsbmiscClassMeansNoDevices) {
    TempDir empty;
    ScopedEnv bare("PEMBERLUX_SYSFS_ROOT", empty.Path().c_str());
    EXPECT_EQ(ErrorOf([&] { OpenPort(port); }), PORT_ERR_NO_DEVICES);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(UsbPortTest, NoPrinterAttachedMeansNoInformation) {
    EXPECT_EQ(ErrorOf([&] { OpenPort(port); }), PORT_ERR_NO_INFO);
}

TEST_F(UsbPortTest, NoPrinterOfTheSelectedModel) {
    Add("3a7e", "41a3");
    Add("04b8", "0202");
    Select(0, "3A7E", "41A2");
    EXPECT_EQ(ErrorOf([&] { OpenPort(port); }), PORT_ERR_NO_INFO);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(UsbPortTest, ModelSelectionNeedsVendorAndProduct) {
    auto& otherModel = Add("3a7e", "41a3");
    auto& otherVendor = Add("1d90", "41a2");
    auto& wanted = Add("3a7e", "41a2");
    Select(0, "3A7E", "41A2");
    EXPECT_EQ(Exchange("\x1d\x49"), 0);
    EXPECT_TRUE(Got(wanted, "\x1d\x49"));
    EXPECT_TRUE(otherModel.Received().empty());
    EXPECT_TRUE(otherVendor.Received().empty());
}

TEST_F(UsbPortTest, VendorOnlyAcceptsTheSecondVendorWhateverItsProduct) {
    auto& stranger = Add("1111", "2222");
    auto& second = Add("1d90", "ffff");
    auto& first = Add("3a7e", "0001");
    Select(1, "3A7E", "1D90");
    EXPECT_EQ(Exchange("label"), 0);
    EXPECT_TRUE(Got(second, "label"));
    EXPECT_TRUE(Got(first, "label"));
    EXPECT_TRUE(stranger.Received().empty());
}

TEST_F(UsbPortTest, PrinterWithoutProductIdIsSkipped) {
    auto& noProduct = Add("3a7e", "5e10");
    fs::remove(fs::canonical(tree.SysfsRoot() / "class/usbmisc/lp0/device").parent_path() / "idProduct");
    Select(1, "3A7E", "5E10");
    EXPECT_EQ(ErrorOf([&] { OpenPort(port); }), PORT_ERR_NO_INFO);

    auto& complete = Add("3a7e", "5e10");
    EXPECT_EQ(Exchange("x"), 0);
    EXPECT_TRUE(Got(complete, "x"));
    EXPECT_TRUE(noProduct.Received().empty());
}

TEST_F(UsbPortTest, WithoutSelectionEveryPrinterIsOpenedAndWritten) {
    auto& a = Add("3a7e", "5e10");
    auto& b = Add("04b8", "0e15");
    auto& c = Add("1d90", "41a2");
    EXPECT_EQ(Exchange("all"), 0);
    EXPECT_TRUE(Got(a, "all"));
    EXPECT_TRUE(Got(b, "all"));
    EXPECT_TRUE(Got(c, "all"));
}

TEST_F(UsbPortTest, AtMostTenPrintersAreOpened) {
    for (int i = 0; i < 12; ++i)
        Add("3a7e", "5e10");
    ASSERT_EQ(OpenPort(port), 1);
    port.SetData("n", 1);
    EXPECT_EQ(WriteUsbPort(port), 1u);
    ClosePort(port);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(Got(printers[i], "n")) << "lp" << i;
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(printers[10].Received().empty());
    EXPECT_TRUE(printers[11].Received().empty());
}

TEST_F(UsbPortTest, FirstWantedPrinterThatWontOpenFailsTheOpen) {
    Add("3a7e", "5e10");
    fs::remove(tree.DevRoot() / "usb/lp0");
    EXPECT_EQ(ErrorOf([&] { OpenPort(port); }), PORT_ERR_OPEN);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(UsbPortTest, LaterPrinterThatWontOpenIsPassedOver) {
    auto& a = Add("3a7e", "5e10");
    Add("3a7e", "5e10");
    auto& c = Add("3a7e", "5e10");
    fs::remove(tree.DevRoot() / "usb/lp1");
    EXPECT_EQ(Exchange("go"), 0);
    EXPECT_TRUE(Got(a, "go"));
    EXPECT_TRUE(Got(c, "go"));
}

TEST_F(UsbPortTest, ReadTakesEachPrinterInTurn) {
    Add("3a7e", "5e10").SetDefaultAnswer({{{'a', '1'}}});
    Add("3a7e", "5e10").SetDefaultAnswer({{{'b', '2', '2'}, 200ms}});
    ASSERT_EQ(OpenPort(port), 1);
    port.SetData("?", 1);
    WriteUsbPort(port);
    char buf[16];
    // The last printer's answer is what stays in the buffer.
    EXPECT_EQ(std::string(buf, ReadPort(port, buf, sizeof buf)), "b22");
}

TEST_F(UsbPortTest, BoundedReadReturnsTheFirstAnswer) {
    Add("3a7e", "5e10");
    Add("3a7e", "5e10").SetDefaultAnswer({{{'o', 'k'}, 100ms}});
    ASSERT_EQ(OpenPort(port), 1);
    port.SetData("?", 1);
    WriteUsbPort(port);
    char buf[16];
    std::atomic<bool> abort{false};
    AbortAfter timer(abort, 3000ms);
    Stopwatch watch;
    EXPECT_EQ(std::string(buf, ReadPort(port, buf, sizeof buf, abort)), "ok");
    EXPECT_LT(watch.Ms(), 2000);
}

TEST_F(UsbPortTest, BoundedReadGivesUpWhenAborted) {
    Add("3a7e", "5e10"); // never answers
    ASSERT_EQ(OpenPort(port), 1);
    ExpectReadGivesUpOnAbort(port);
}

} // namespace
} // namespace pemberlux::test
