// The program's label frames and decoders against the simulated label printer,
// over a real TCP connection and a real pty.
#include "LabelPrinterSim.h"
#include "LabelTestUtil.h"
#include "RawClient.h"
#include "Transports.h"
#include "core/label/LabelCommands.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using namespace test;
using sim::LabelModel;
using sim::LabelPrinterSim;

PortSettings Settings() {
    PortSettings s;
    s.modelName = "Label Printer(200DPI)";
    s.language = "Chinese";
    s.portKind = PORT_LAN;
    s.baudRate = "115200";
    s.parity = "Even";
    s.dataBits = "7";
    s.stopBits = "2";
    s.flowControl = "Xon/Xoff";
    return s;
}

LabelSettingValues ReadSettings(int fd, PortSettings& settings) {
    EXPECT_TRUE(WriteAll(fd, LB_FRAME_READ_SETTINGS));
    const RawBytes r = ReadFor(fd, LabelPrinterSim::kReplySize, 3000ms);
    EXPECT_EQ(r.size(), LabelPrinterSim::kReplySize);
    LabelSettingValues values;
    EXPECT_TRUE(ApplyLabelSerialConfig(r, settings));
    ApplyLabelSettingsReply(r, settings, values);
    return values;
}

TEST(LabelEndToEnd, SetQueryAndResetOverTcp) {
    LabelPrinterSim printer(LabelModel::LB610);
    sim::TcpServer server(printer);
    FdGuard fd(ConnectTcp(server.Port()));
    ASSERT_GE(fd.get(), 0);

    PortSettings settings = Settings();
    const LabelSettingValues factory = ReadSettings(fd.get(), settings);
    EXPECT_EQ(settings.baudRate, "9600");
    EXPECT_EQ(settings.parity, "None");
    EXPECT_EQ(settings.dataBits, "8");
    EXPECT_EQ(settings.stopBits, "1");
    EXPECT_EQ(settings.flowControl, "Xon/Xoff");   // not the printer's to say
    EXPECT_EQ(factory.selection[LS_EMULATION], 3); // TSPL in the four-item list
    EXPECT_EQ(factory.text[LS_BLACK_MARK_AD_VALUE], "200");

    // The user changes four settings; the frame carries exactly those.
    LabelSettingValues values = factory;
    LabelChangedMarks marks;
    values.selection[LS_EMULATION] = 0; // ESC/POS
    marks.set(LS_EMULATION);
    values.selection[LS_PEELER] = 1;
    marks.set(LS_PEELER);
    values.text[LS_PRINT_HOME_OFFSET] = "12.5";
    marks.set(LS_PRINT_HOME_OFFSET);
    values.text[LS_BLACK_MARK_AD_VALUE] = "-1";
    marks.set(LS_BLACK_MARK_AD_VALUE);
    EXPECT_TRUE(WriteAll(fd.get(), BuildLabelSettingsFrame(marks, values, settings)));
    ASSERT_TRUE(printer.WaitForFrames(2, 3s));
    EXPECT_EQ(printer.Setting(LS_EMULATION), 0);
    EXPECT_EQ(printer.Setting(LS_PEELER), 1);
    EXPECT_EQ(printer.Setting(LS_PRINT_HOME_OFFSET), 100);
    EXPECT_EQ(printer.Setting(LS_BLACK_MARK_AD_VALUE), 65535);
    EXPECT_EQ(printer.Counters().settingItems, 4u);

    // Read back: the changes, as the page would show them.
    LabelSettingValues back = ReadSettings(fd.get(), settings);
    LabelSettingValues expected = values;
    expected.text[LS_PRINT_HOME_OFFSET] = "12.50";
    expected.text[LS_BLACK_MARK_AD_VALUE] = "65535";
    EXPECT_EQ(back, expected);

    // A new serial line, then a factory reset brings everything back.
    EXPECT_TRUE(WriteAll(fd.get(), test::Hex("1B 0D 53 1B 23 66 1B 10 45")));
    ReadSettings(fd.get(), settings);
    EXPECT_EQ(settings.baudRate, "57600");
    EXPECT_EQ(settings.parity, "Even");
    EXPECT_EQ(settings.stopBits, "2");

    EXPECT_TRUE(WriteAll(fd.get(), LB_FRAME_RESTORE_FACTORY));
    ASSERT_TRUE(printer.WaitForFrames(6, 3s));
    EXPECT_EQ(printer.Counters().factoryResets, 1u);
    back = ReadSettings(fd.get(), settings);
    EXPECT_EQ(back, factory);
    EXPECT_EQ(settings.baudRate, "9600");
    EXPECT_EQ(settings.parity, "None");
}

TEST(LabelEndToEnd, TextQueriesAndActionsOverAPtyInPieces) {
    LabelPrinterSim printer(LabelModel::LB710);
    sim::PtyPort pty(printer);
    FdGuard fd(OpenLine(pty.Path()));
    ASSERT_GE(fd.get(), 0);

    auto ask = [&](const LabelFrame9& frame) {
        // Written in three pieces with pauses, so the printer reads them apart.
        for (std::size_t at = 0; at < frame.size(); at += 3) {
            EXPECT_EQ(write(fd.get(), frame.data() + at, 3), 3);
            std::this_thread::sleep_for(20ms);
        }
        const RawBytes r = ReadFor(fd.get(), 64, 300ms);
        return DecodeLabelTextReply(r, 2052);
    };
    EXPECT_EQ(ask(LB_FRAME_READ_SERIAL_NUMBER), "LB710-24070722");
    EXPECT_EQ(ask(LB_FRAME_READ_FIRMWARE_VERSION), "LB-710 V1.16 2024-06-18");
    EXPECT_EQ(ask(LB_FRAME_PRINT_STATISTICS), "482.11 m");

    EXPECT_TRUE(WriteAll(fd.get(), LB_FRAME_SELF_TEST));
    EXPECT_TRUE(WriteAll(fd.get(), LB_FRAME_CALIBRATE));
    EXPECT_TRUE(WriteAll(fd.get(), LB_FRAME_CALIBRATE));
    ASSERT_TRUE(printer.WaitForFrames(6, 3s));
    EXPECT_EQ(printer.Counters().selfTests, 1u);
    EXPECT_EQ(printer.Counters().calibrations, 2u);
    EXPECT_EQ(ask(LB_FRAME_PRINT_STATISTICS), "482.33 m");
    EXPECT_GT(printer.Chunks(), 9u);
}

} // namespace
} // namespace pemberlux
