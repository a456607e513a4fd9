// The USB backend on a fake usblp tree whose printers are simulated on ptys:
// which printers are opened, who receives a write, how reads end.
#include "PortFixtures.h"
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"
#include "core/port/Exchange.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <stop_token>
#include <thread>

namespace pemberlux::test {
namespace {

namespace fs = std::filesystem;

class UsbPortTest : public ::testing::Test {
protected:
    void SetUp() override { port.kind = PORT_USB; }

    // Adds a simulated printer with these ids; returns it.
    sim::SimPrinter& Add(const std::string& vid, const std::string& pid) {
        printers.emplace_back();
        tree.AddPrinter(printers.back(), vid, pid);
        return printers.back();
    }

    void Select(int vendorOnly, const std::string& vendor, const std::string& second) {
        port.usb = {vendor, second, vendorOnly != 0};
    }

    // Opens, writes `frame`, closes; gives back the error code or None.
    PortErrorCode Send(const std::string& frame) {
        PortErrorCode code = ErrorOf([&] {
            OpenPort(port, {});
            port.SetData(frame.data(), frame.size());
            WriteUsbPort(port, {});
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
    EXPECT_EQ(ErrorOf([&] { OpenPort(port, {}); }), PortErrorCode::NoDevices);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(UsbPortTest, NoPrinterAttachedMeansNoInformation) {
    EXPECT_EQ(ErrorOf([&] { OpenPort(port, {}); }), PortErrorCode::NoInfo);
}

TEST_F(UsbPortTest, NoPrinterOfTheSelectedModel) {
    Add("3a7e", "41a3");
    Add("04b8", "0202");
    Select(0, "3A7E", "41A2");
    EXPECT_EQ(ErrorOf([&] { OpenPort(port, {}); }), PortErrorCode::NoInfo);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(UsbPortTest, ModelSelectionNeedsVendorAndProduct) {
    auto& otherModel = Add("3a7e", "41a3");
    auto& otherVendor = Add("1d90", "41a2");
    auto& wanted = Add("3a7e", "41a2");
    Select(0, "3A7E", "41A2");
    EXPECT_EQ(Send("\x1d\x49"), PortErrorCode::None);
    EXPECT_TRUE(Got(wanted, "\x1d\x49"));
    EXPECT_TRUE(otherModel.Received().empty());
    EXPECT_TRUE(otherVendor.Received().empty());
}

TEST_F(UsbPortTest, VendorOnlyAcceptsTheSecondVendorWhateverItsProduct) {
    auto& stranger = Add("1111", "2222");
    auto& second = Add("1d90", "ffff");
    auto& first = Add("3a7e", "0001");
    Select(1, "3A7E", "1D90");
    EXPECT_EQ(Send("label"), PortErrorCode::None);
    EXPECT_TRUE(Got(second, "label"));
    EXPECT_TRUE(Got(first, "label"));
    EXPECT_TRUE(stranger.Received().empty());
}

TEST_F(UsbPortTest, PrinterWithoutProductIdIsSkipped) {
    auto& noProduct = Add("3a7e", "5e10");
    fs::remove(fs::canonical(tree.SysfsRoot() / "class/usbmisc/lp0/device").parent_path() / "idProduct");
    Select(1, "3A7E", "5E10");
    EXPECT_EQ(ErrorOf([&] { OpenPort(port, {}); }), PortErrorCode::NoInfo);

    auto& complete = Add("3a7e", "5e10");
    EXPECT_EQ(Send("x"), PortErrorCode::None);
    EXPECT_TRUE(Got(complete, "x"));
    EXPECT_TRUE(noProduct.Received().empty());
}

TEST_F(UsbPortTest, WithoutSelectionEveryPrinterIsOpenedAndWritten) {
    auto& a = Add("3a7e", "5e10");
    auto& b = Add("04b8", "0e15");
    auto& c = Add("1d90", "41a2");
    EXPECT_EQ(Send("all"), PortErrorCode::None);
    EXPECT_TRUE(Got(a, "all"));
    EXPECT_TRUE(Got(b, "all"));
    EXPECT_TRUE(Got(c, "all"));
}

TEST_F(UsbPortTest, AtMostTenPrintersAreOpened) {
    for (int i = 0; i < 12; ++i)
        Add("3a7e", "5e10");
    ASSERT_TRUE(OpenPort(port, {}));
    port.SetData("n", 1);
    EXPECT_EQ(WriteUsbPort(port, {}), 1u);
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
    EXPECT_EQ(ErrorOf([&] { OpenPort(port, {}); }), PortErrorCode::Open);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(UsbPortTest, LaterPrinterThatWontOpenIsPassedOver) {
    auto& a = Add("3a7e", "5e10");
    Add("3a7e", "5e10");
    auto& c = Add("3a7e", "5e10");
    fs::remove(tree.DevRoot() / "usb/lp1");
    EXPECT_EQ(Send("go"), PortErrorCode::None);
    EXPECT_TRUE(Got(a, "go"));
    EXPECT_TRUE(Got(c, "go"));
}

TEST_F(UsbPortTest, ReadReturnsThePrinterThatAnswersFirst) {
    Add("3a7e", "5e10"); // never answers
    Add("3a7e", "5e10").SetDefaultAnswer({{{'a', '1'}, 300ms}});
    Add("3a7e", "5e10").SetDefaultAnswer({{{'b', '2', '2'}, 50ms}});
    ASSERT_TRUE(OpenPort(port, {}));
    port.SetData("?", 1);
    WriteUsbPort(port, {});
    char buf[16];
    EXPECT_EQ(std::string(buf, ReadPort(port, buf, sizeof buf, Deadline(5000ms))), "b22");
    EXPECT_EQ(std::string(buf, ReadPort(port, buf, sizeof buf, Deadline(5000ms))), "a1");
}

// The end of an answer that came after its exchange had ended waits in the
// line: the next exchange drops it rather than take it for its own reply.
TEST_F(UsbPortTest, AnAnswerLeftByAnEarlierExchangeIsNotTakenForTheNextReply) {
    Add("3a7e", "5e10").SetDefaultAnswer({{{'A', 'B', 'C', 'D'}}, {{'x', 'y'}, 200ms}});
    Select(0, "3A7E", "5E10");
    ReplyRule rule;
    rule.complete = [](const std::uint8_t*, std::size_t size) { return size >= 4; };
    const Bytes query{'?'};
    for (int i = 0; i < 2; ++i) {
        const ExchangeResult r = Exchange(port, query, &rule, {});
        ASSERT_TRUE(r.Ok());
        EXPECT_EQ(std::string(r.reply.begin(), r.reply.end()), "ABCD") << "exchange " << i;
        std::this_thread::sleep_for(500ms); // the rest of the answer arrives meanwhile
    }
}

// The printer takes a block in slow pieces: each transfer is waited for, the
// write reports success only once the printer has everything, and every byte
// arrives in order.
TEST_F(UsbPortTest, WriteWaitsUntilThePrinterHasTakenEveryTransfer) {
    Add("3a7e", "5e10");
    TransferNode node(tree.DevRoot() / "usb/lp0");
    ASSERT_TRUE(OpenPort(port, {}));
    std::string block(12000, '\0');
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 13 + i / 256);
    std::string got;
    std::jthread printer([&](std::stop_token done) {
        while (got.size() < block.size() && !done.stop_requested()) {
            got += node.Take(512);
            std::this_thread::sleep_for(20ms);
        }
    });
    port.SetData(block.data(), block.size());
    EXPECT_EQ(WriteUsbPort(port, {}), block.size());
    EXPECT_EQ(node.Pending(), 0u) << "the write returned with its last transfer under way";
    printer.request_stop();
    printer.join();
    EXPECT_EQ(got, block);
}

// The printer never takes the transfer (out of paper): after the write's bound
// (10 s + 3 ms per byte) the exchange reports a failed write, message 159.
TEST_F(UsbPortTest, TransferThatNeverCompletesIsAFailedWrite) {
    Add("3a7e", "5e10");
    TransferNode node(tree.DevRoot() / "usb/lp0");
    const std::uint8_t frame[] = {0x1b, 'W', 0x01};
    Stopwatch watch;
    ExchangeResult r = SendFrame(port, frame, {});
    EXPECT_GE(watch.Ms(), 10000);
    EXPECT_EQ(r.status, ExchangeResult::WriteFailed);
    EXPECT_EQ(r.code, PortErrorCode::Write);
    EXPECT_EQ(ExchangeMessage(r, PORT_USB), (PortErrorMessage{StringId{159}, MessageIcon::Warning}));
    EXPECT_EQ(node.Pending(), sizeof frame);
}

} // namespace
} // namespace pemberlux::test
