// The command test page's core: hexadecimal text, the bytes of typed text, the
// interval texts, data files, the data and file jobs against the simulated
// printer over TCP and a serial pty, and the one-shot send.
#include "Pty.h"
#include "Records.h"
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"
#include "core/base/HexText.h"
#include "core/base/UiText.h"
#include "core/command/CommandData.h"
#include "core/command/SendJobs.h"
#include "core/port/SendToPrinter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <memory>
#include <string>
#include <thread>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;
using test::UserRecord;

// ---- Hexadecimal text ----------------------------------------------------------

TEST(ParseHexText, PairsOfDigitsWithSeparatorsAnywhere) {
    struct Case {
        std::u16string text;
        std::optional<std::size_t> result;
        Bytes bytes;
    };
    const Case cases[] = {
        {u"1B 40", 2, {0x1B, 0x40}},
        {u"1b40", 2, {0x1B, 0x40}},
        {u"1B\r\n40", 2, {0x1B, 0x40}},
        {u"1B\n40", 2, {0x1B, 0x40}},
        {u"1 B4 0", 2, {0x1B, 0x40}},
        {u"  1B 40  ", 2, {0x1B, 0x40}},
        {u"aF 09 fa", 3, {0xAF, 0x09, 0xFA}},
        {u"1B4", 1, {0x1B}},                 // the lone last digit is dropped
        {u"1B 4 ", 1, {0x1B}},               // also before trailing separators
        {u"   ", 0, {}},                     // separators only
        {u"\r\n", 0, {}},                    //
        {u"", 0, {}},                        //
        {u"1B,40", std::nullopt, {}},        // any other character
        {u"1B\t40", std::nullopt, {}},       // a tab is no separator
        {u"1G", std::nullopt, {}},           //
        {u"0x1B", std::nullopt, {}},         //
        {u"1B 4G", std::nullopt, {}},        //
        {u"1B 40 0AZ", std::nullopt, {}},    // also a lone last character
        {u"Z", std::nullopt, {}},            //
        {u"1B 40\t", std::nullopt, {}},      //
        {u"1B 40 \u4E41", std::nullopt, {}}, //
        {u"1B \u4E410", std::nullopt, {}},   // U+4E41 is no "A", whatever its low byte
        {u"\u0131\u0142", std::nullopt, {}}, // nor U+0131 a "1"
        {u"\uFF11\uFF22", std::nullopt, {}}, // full-width digits are not digits
    };
    for (const Case& c : cases) {
        Bytes out = {0xEE};
        EXPECT_EQ(ParseHexText(c.text, out), c.result);
        Bytes expected = {0xEE};
        expected.insert(expected.end(), c.bytes.begin(), c.bytes.end());
        // An error keeps nothing; the bytes are appended to what was there.
        EXPECT_EQ(out, expected);
    }
}

TEST(ParseHexText, FileBytesAreCharactersOfTheirOwnCode) {
    Bytes out;
    EXPECT_EQ(ParseHexText(std::string_view("1B\r\n40\n0A\n"), out), 3u);
    EXPECT_EQ(out, (Bytes{0x1B, 0x40, 0x0A}));
    out.clear();
    // A byte above 7F is one character, never a digit and never negative.
    EXPECT_EQ(ParseHexText(std::string_view("1B \xC1"
                                            "1"),
                           out),
              std::nullopt);
    EXPECT_EQ(ParseHexText(std::string_view("1B 4\xB0"), out), std::nullopt);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(ParseHexText(std::string_view("1B 4G"), out), std::nullopt);
}

// ---- Typed text ------------------------------------------------------------

TEST(CommandBytes, TextHexAndChinese) {
    struct Case {
        std::u16string text;
        bool hex;
        std::optional<Bytes> bytes;
    };
    const Case cases[] = {
        {u"ABC", false, Bytes{0x41, 0x42, 0x43}},                       // no LF added
        {u"1B 40 1D 56 00", true, Bytes{0x1B, 0x40, 0x1D, 0x56, 0x00}}, //
        {u"1B 40", false, Bytes{'1', 'B', ' ', '4', '0'}},              // text, not hex
        {u"1B,40", true, std::nullopt},                                 //
        {u"   ", true, Bytes{}},                                        //
        {u"\u4E2D\u6587", false, Bytes{0xD6, 0xD0, 0xCE, 0xC4, 0x0A}},  // 中文 in GBK, then LF
        {u"\u6253\u5370 OK", false, Bytes{0xB4, 0xF2, 0xD3, 0xA1, ' ', 'O', 'K', 0x0A}},
        {u"\u00E9", false, Bytes{0xA8, 0xA6, 0x0A}},                                  // é: above 7F, GBK has it
        {u"\u4E2D\U0001F600\u6587", false, Bytes{0xD6, 0xD0, '?', 0xCE, 0xC4, 0x0A}}, // no emoji in GBK
        {u"\u4E2D\xD800", false, Bytes{0xD6, 0xD0, '?', 0x0A}},                       // a lone surrogate
        {u"A\u00FC", false, Bytes{0x41, 0xFC}},                                       // up to FF: the byte
        {u"A\u00FF", false, Bytes{0x41, 0xFF}},                                       // the last such byte
        // A character beyond FF: the whole text in GBK, still without LF.
        {u"Total \u4E2D\u6587", false, Bytes{'T', 'o', 't', 'a', 'l', ' ', 0xD6, 0xD0, 0xCE, 0xC4}},
        {u"A\u00FC\u4E2D", false, Bytes{0x41, 0xA8, 0xB9, 0xD6, 0xD0}}, // ü as GBK has it, not FC
        {u"A\u0101", false, Bytes{0x41, 0xA8, 0xA1}},                   // ā, just beyond FF
        {u"A\u0100B", false, Bytes{0x41, '?', 0x42}},                   // Ā: GBK lacks it
        {u"A\U0001F600B", false, Bytes{0x41, '?', 0x42}},               // GBK lacks it
        {u"A\u4E2D\xD800", false, Bytes{0x41, 0xD6, 0xD0, '?'}},        // a lone surrogate
    };
    for (const Case& c : cases)
        EXPECT_EQ(CommandBytes(c.text, c.hex), c.bytes);
}

TEST(CommandBytes, LongChineseTextConvertsWhole) {
    // More than the converter's buffer at once.
    std::u16string text;
    for (int i = 0; i < 5000; ++i)
        text += u"\u6D4B\u8BD5"; // 测试
    const Bytes bytes = TextToPrinterBytes(text);
    ASSERT_EQ(bytes.size(), 20001u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), (Bytes{0xB2, 0xE2, 0xCA, 0xD4}));
    EXPECT_EQ(Bytes(bytes.end() - 5, bytes.end()), (Bytes{0xB2, 0xE2, 0xCA, 0xD4, 0x0A}));
}

TEST(IntervalOf, LeadingDecimalDigits) {
    EXPECT_EQ(IntervalOf(u""), 0ms);
    EXPECT_EQ(IntervalOf(u"250"), 250ms);
    EXPECT_EQ(IntervalOf(u"12ab3"), 12ms);
    EXPECT_EQ(IntervalOf(u"x12"), 0ms);
    EXPECT_EQ(IntervalOf(u"99999999999"), std::chrono::milliseconds(INT_MAX));
}

// ---- Data files ------------------------------------------------------------

TEST(ReadDataFile, WholeOrRefused) {
    test::TempDir dir;
    dir.Write("data.hex", std::string("\x1B\x40\x00\xFF", 4));
    dir.Write("empty.txt", "");
    std::filesystem::create_directory(dir / "folder");

    const DataFile read = ReadDataFile(dir / "data.hex");
    EXPECT_EQ(read.status, DataFile::Read);
    EXPECT_EQ(read.bytes, (Bytes{0x1B, 0x40, 0x00, 0xFF}));
    EXPECT_EQ(ReadDataFile(dir / "empty.txt").status, DataFile::Empty);
    EXPECT_EQ(ReadDataFile(dir / "missing.txt").status, DataFile::Unreadable);
    EXPECT_EQ(ReadDataFile(dir / "folder").status, DataFile::Unreadable);
    for (auto status : {DataFile::Unreadable, DataFile::Empty, DataFile::TooLarge})
        EXPECT_STRNE(DataFileMessageKey(status), "");
}

// ---- Jobs against the simulated printer ------------------------------------

enum class Transport { Tcp, Serial };

class SendJobs : public ::testing::TestWithParam<Transport> {
protected:
    PortSettings Settings() {
        PortSettings s = UserRecord("TR-520", PORT_LAN);
        if (GetParam() == Transport::Tcp) {
            tcp = std::make_unique<sim::TcpServer>(printer);
            s.tcpPort = tcp->Port();
        } else {
            pty = std::make_unique<sim::PtyPort>(printer);
            s.portKind = PORT_COM;
            s.comName = pty->Path();
        }
        return s;
    }

    sim::SimPrinter printer;
    std::unique_ptr<sim::TcpServer> tcp;
    std::unique_ptr<sim::PtyPort> pty;
    std::stop_source stop;
};

Bytes Pattern(std::size_t size) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return b;
}

TEST_P(SendJobs, AFileGoesOutInAHundredthsWithProgress) {
    struct Case {
        std::size_t size;
        std::vector<std::uint64_t> blocks; // {count, size} pairs
    };
    const Case cases[] = {
        {250, {125, 2}}, {50, {1, 50}}, {1005, {100, 10, 1, 5}}, {1, {1, 1}}, {100, {100, 1}},
    };
    const PortSettings s = Settings();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        printer.ClearReceived();
        const Bytes file = Pattern(c.size);
        std::vector<FileProgress> steps;
        PrinterPort port(s, {});
        const SendJobResult r = RunFileSend(port, file, {}, SendLimits(stop.get_token()),
                                            [&](const FileProgress& p) { steps.push_back(p); });
        EXPECT_EQ(r.status, SendJobResult::Done);
        EXPECT_EQ(r.sent, c.size);
        std::vector<std::uint64_t> blocks;
        for (const FileProgress& p : steps) {
            if (blocks.empty() || blocks.back() != p.block) {
                blocks.push_back(0);
                blocks.push_back(p.block);
            }
            ++blocks[blocks.size() - 2];
        }
        EXPECT_EQ(blocks, c.blocks);
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.back().position, c.size);
        EXPECT_EQ(steps.back().percent, 100u);
        EXPECT_EQ(steps.front().percent, steps.front().block * 100 / c.size);
        ASSERT_TRUE(printer.WaitForBytes(c.size, 5s));
        EXPECT_EQ(printer.Received(), file);
        // A single whole send is reported as done.
        const auto message = SendJobMessage(r, s.portKind, SendJobKind::File, {}, c.size);
        ASSERT_TRUE(message);
        EXPECT_EQ(message->stringId, StringId{177});
        EXPECT_EQ(message->icon, MessageIcon::Information);
    }
}

TEST_P(SendJobs, AFileLoopCountsPastAHundredPercentUntilStopped) {
    const PortSettings s = Settings();
    const Bytes file = Pattern(50);
    PrinterPort port(s, {});
    std::vector<std::uint64_t> percents;
    const SendOptions loop{true, 0ms};
    const SendJobResult r = RunFileSend(port, file, loop, SendLimits(stop.get_token()), [&](const FileProgress& p) {
        percents.push_back(p.percent);
        if (p.percent >= 300) stop.request_stop();
    });
    EXPECT_EQ(r.status, SendJobResult::Stopped);
    EXPECT_EQ(percents, (std::vector<std::uint64_t>{100, 200, 300}));
    ASSERT_TRUE(printer.WaitForBytes(150, 5s));
    EXPECT_EQ(printer.Received().size(), 150u);
    // A loop is never "sent successfully".
    EXPECT_FALSE(SendJobMessage(r, s.portKind, SendJobKind::File, loop, 50));
    EXPECT_FALSE(
        SendJobMessage({SendJobResult::Done, PortErrorCode::None, 50, {}}, s.portKind, SendJobKind::File, loop, 50));
}

TEST(SendJobs, TheCaptionKeepsCountingPastTwentyOneMegabytes) {
    // sent × 100 leaves 32 bits after about 21 MB; a loop goes far beyond.
    sim::SimPrinter printer;
    sim::TcpServer server(printer);
    PortSettings s = UserRecord("TR-520", PORT_LAN);
    s.tcpPort = server.Port();
    const Bytes file = Pattern(1 << 20);
    std::stop_source stop;
    std::vector<std::uint64_t> percents;
    PrinterPort port(s, {});
    const SendJobResult r =
        RunFileSend(port, file, {true, 0ms}, SendLimits(stop.get_token()), [&](const FileProgress& p) {
            if (p.position == p.total) percents.push_back(p.percent);
            if (p.percent >= 2500) stop.request_stop();
        });
    EXPECT_EQ(r.status, SendJobResult::Stopped);
    EXPECT_EQ(r.sent, 25u << 20);
    ASSERT_EQ(percents.size(), 25u);
    for (std::size_t i = 0; i < percents.size(); ++i)
        EXPECT_EQ(percents[i], 100 * (i + 1));
}

TEST_P(SendJobs, DataIsWrittenWholeOnceOrInALoop) {
    const PortSettings s = Settings();
    const Bytes data = {0x1B, 0x40, 0x1D, 0x56, 0x00};
    {
        PrinterPort port(s, {});
        const SendJobResult r = RunDataSend(port, data, {}, SendLimits(stop.get_token()));
        EXPECT_EQ(r.status, SendJobResult::Done);
        ASSERT_TRUE(printer.WaitForBytes(5, 5s));
        EXPECT_EQ(printer.Received(), data);
    }
    printer.ClearReceived();
    std::jthread stopper([&] {
        printer.WaitForBytes(data.size() * 4, 10s);
        stop.request_stop();
    });
    PrinterPort port(s, {});
    const SendJobResult r = RunDataSend(port, data, {true, 20ms}, SendLimits(stop.get_token()));
    EXPECT_EQ(r.status, SendJobResult::Stopped);
    stopper.join();
    const Bytes got = printer.Received();
    ASSERT_GE(got.size(), data.size() * 4);
    // Copies, whole, one after the other.
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], data[i % data.size()]) << i;
}

INSTANTIATE_TEST_SUITE_P(Transports, SendJobs, ::testing::Values(Transport::Tcp, Transport::Serial),
                         [](const auto& info) { return info.param == Transport::Tcp ? "Tcp" : "Serial"; });

TEST(SendJobs, NothingToSendIsNotRepeated) {
    // A port kind the layer does not know opens nothing and writes nothing.
    PortSettings s = UserRecord("TR-520", PortKind{7});
    std::stop_source stop;
    PrinterPort port(s, {});
    const SendJobResult r = RunDataSend(port, {}, {true, 0ms}, SendLimits(stop.get_token()));
    EXPECT_EQ(r.status, SendJobResult::Done);
    EXPECT_EQ(r.sent, 0u);
}

TEST(SendJobs, AWriteOfNothingFails) {
    PortSettings s = UserRecord("TR-520", PortKind{7});
    std::stop_source stop;
    const Bytes data = {0x41};
    PrinterPort port(s, {});
    const SendJobResult file = RunFileSend(port, data, {true, 0ms}, SendLimits(stop.get_token()), nullptr);
    EXPECT_EQ(file.status, SendJobResult::WriteFailed);
    EXPECT_EQ(file.code, PortErrorCode::Write);
    const SendJobResult loop = RunDataSend(port, data, {true, 0ms}, SendLimits(stop.get_token()));
    EXPECT_EQ(loop.status, SendJobResult::WriteFailed);
    const auto message = SendJobMessage(file, PortKind{7}, SendJobKind::File, {}, 1);
    ASSERT_TRUE(message);
    EXPECT_EQ(*message, (PortErrorMessage{StringId{159}, MessageIcon::Warning}));
}

// A printer that reads nothing: its line takes a little, then no more.
class DeafLine : public ::testing::Test {
protected:
    void SetUp() override {
        s = UserRecord("TR-520", PORT_COM);
        s.comName = line.Path();
    }
    test::Pty line;
    PortSettings s;
    std::stop_source stop;
    // Far more than the line buffers.
    const Bytes file = Pattern(1 << 20);
};

TEST_F(DeafLine, AWriteWithoutProgressFailsAtTheStallBound) {
    PrinterPort port(s, {});
    JobLimits limits = SendLimits(stop.get_token());
    limits.stall = 500ms;
    const SendJobResult r = RunFileSend(port, file, {}, limits, nullptr);
    EXPECT_EQ(r.status, SendJobResult::WriteFailed);
    EXPECT_EQ(r.code, PortErrorCode::Write);
    EXPECT_LT(r.sent, file.size());
    EXPECT_EQ(SendJobMessage(r, PORT_COM, SendJobKind::File, {}, file.size()),
              (PortErrorMessage{StringId{159}, MessageIcon::Warning}));
}

TEST_F(DeafLine, StopEndsABlockedWriteQuietly) {
    PrinterPort port(s, {});
    std::jthread stopper([&] {
        std::this_thread::sleep_for(300ms);
        stop.request_stop();
    });
    const SendJobResult r = RunFileSend(port, file, {}, SendLimits(stop.get_token()), nullptr);
    EXPECT_EQ(r.status, SendJobResult::Stopped);
    EXPECT_FALSE(SendJobMessage(r, PORT_COM, SendJobKind::File, {}, file.size()));
}

TEST_F(DeafLine, AWriteThatKeepsMovingIsNeverCutOff) {
    // One write of 512 KiB to a printer that takes 16 KiB every 100 ms: it
    // lasts many times the stall bound, and completes.
    std::size_t got = 0;
    std::jthread printer([&](std::stop_token done) {
        while (!done.stop_requested() && got < file.size() / 2) {
            got += line.Receive(16384, 100ms).size();
            std::this_thread::sleep_for(100ms);
        }
    });
    JobLimits limits = SendLimits(stop.get_token());
    limits.stall = 1000ms;
    PrinterPort port(s, {});
    ASSERT_TRUE(OpenPort(port, limits));
    port.SetData(file.data(), file.size() / 2);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(WritePort(port, limits), file.size() / 2);
    EXPECT_GT(std::chrono::steady_clock::now() - started, 2 * limits.stall);
    ClosePort(port);
}

// ---- Open failures ---------------------------------------------------------

TEST(SendJobs, OpenFailuresShowTheirTextWithThePagesIcons) {
    struct Case {
        PortErrorCode code;
        PortKind kind;
        SendJobKind job;
        PortErrorMessage message;
    };
    const Case cases[] = {
        {PortErrorCode::Open, PORT_LAN, SendJobKind::Data, {StringId{206}, MessageIcon::Stop}},
        {PortErrorCode::Open, PORT_COM, SendJobKind::File, {StringId{141}, MessageIcon::Stop}},
        {PortErrorCode::Busy, PORT_COM, SendJobKind::Data, {StringId{145}, MessageIcon::Stop}},
        {PortErrorCode::NoDevices, PORT_USB, SendJobKind::Data, {StringId{188}, MessageIcon::Warning}},
        {PortErrorCode::NoInfo, PORT_USB, SendJobKind::Data, {StringId{189}, MessageIcon::Warning}},
        {PortErrorCode::NoDevices, PORT_USB, SendJobKind::File, {StringId{188}, MessageIcon::Stop}},
        {PortErrorCode::NoInfo, PORT_USB, SendJobKind::File, {StringId{189}, MessageIcon::Stop}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SendJobMessage({SendJobResult::OpenFailed, c.code, 0, {}}, c.kind, c.job, {}, 1), c.message)
            << static_cast<int>(c.code) << " " << c.kind;
}

// ---- The one-shot send -----------------------------------------------------

TEST(SendToPrinter, WritesOnceAndReportsFailuresAsMessages) {
    sim::SimPrinter printer;
    sim::TcpServer server(printer);
    PortSettings s = UserRecord("TR-520", PORT_LAN);
    s.tcpPort = server.Port();
    s.language = "Chinese";
    const Bytes bytes = {0x1B, 0x40, 0x0A};
    std::stop_source stop;
    const SendResult ok = SendToPrinter(s, {}, bytes, {stop.get_token()});
    EXPECT_TRUE(ok.Ok());
    EXPECT_FALSE(ok.message);
    ASSERT_TRUE(printer.WaitForBytes(3, 5s));
    EXPECT_EQ(printer.Received(), bytes);
    // The caller's thread speaks the settings' language from here on.
    EXPECT_EQ(ThreadUiLanguage(), LANG_CHINESE);
    SetThreadUiLanguage(LANG_ENGLISH);

    s.tcpPort = 1; // nothing listens there
    const SendResult failed = SendToPrinter(s, {}, bytes, {stop.get_token()});
    EXPECT_EQ(failed.status, ExchangeResult::OpenFailed);
    EXPECT_EQ(failed.code, PortErrorCode::Open);
    EXPECT_EQ(failed.message, (PortErrorMessage{StringId{206}, MessageIcon::Warning}));

    stop.request_stop();
    const SendResult stopped = SendToPrinter(s, {}, bytes, {stop.get_token()});
    EXPECT_EQ(stopped.status, ExchangeResult::Stopped);
    EXPECT_FALSE(stopped.message);
}

} // namespace
} // namespace pemberlux
