// What the simulated printers "print": the readable log of text lines and
// commands that the demo shows, from the bytes of the receipt printers' test
// jobs and the label printers' frames, and pemberlux-sim's --print-log file.
#include "PaperLog.h"
#include "RawClient.h"
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace pemberlux::sim {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

Bytes B(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes T(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Lines Decode(const Bytes& bytes) {
    PaperLog log;
    return log.Feed(bytes.data(), bytes.size());
}

TEST(PaperLog, TheReceiptPrintersTestJobsReadAsWhatTheyDo) {
    Bytes blackBar;
    for (int row = 0; row < 2; ++row)
        blackBar = B({blackBar, {0x1B, 0x2A, 0x00, 0xD2, 0x00}, Bytes(210, 0xFF), {0x0D, 0x1B, 0x4A, 0x10}});
    struct Case {
        const char* what;
        Bytes bytes;
        Lines lines;
    };
    const Case cases[] = {
        {"full cut",
         B({{0x1B, 0x40}, T(" Full Cut test"), {0x0A, 0x1B, 0x4A, 0xB0, 0x1B, 0x69}}),
         {"ESC @: initialize", "text \" Full Cut test\"", "ESC J 176: feed, 176 dots", "ESC i: full cut"}},
        {"partial cut", B({{0x1B, 0x4A, 0xB0, 0x1B, 0x6D}}), {"ESC J 176: feed, 176 dots", "ESC m: partial cut"}},
        {"drawer 2",
         B({T(" Drawer test"), {0x0A, 0x1B, 0x70, 0x01, 0x33, 0x00, 0x00}}),
         {"text \" Drawer test\"", "ESC p 1 51 0: drawer kick, drawer 2, on 102 ms, off 0 ms"}},
        {"black mark",
         B({{0x1C, 0xAA, 0x11, 0x01}, T("  BM enable"), {0x0A, 0x1C, 0xAA, 0x11, 0x00}}),
         {"FS AA 11 1: black mark on", "text \"  BM enable\"", "FS AA 11 0: black mark off"}},
        {"black mark test with cut",
         B({{0x1B, 0x40, 0x1D, 0x0C}, T(" BM test"), {0x1B, 0x4A, 0xFF, 0x1D, 0x56, 0x42, 0x01}}),
         {"ESC @: initialize", "GS FF: black mark feed", "text \" BM test\"", "ESC J 255: feed, 255 dots",
          "GS V 66 1: partial cut, after feeding 1 dots"}},
        {"cutter",
         B({{0x1C, 0xAA, 0x23, 0x01, 0x1C, 0xAA, 0x23, 0x00}}),
         {"FS AA 23 1: cutter on", "FS AA 23 0: cutter off"}},
        {"baud rate",
         B({T("set successful"), {0x0A, 0x1C, 0xAA, 0x22, 0x00, 0x00, 0x00}}),
         {"text \"set successful\"", "FS AA 22 0: baud rate, 1200"}},
        {"Chinese test",
         B({{0x1C, 0x21, 0x04, 0xB2, 0xE2, 0xCA, 0xD4, 0x0A}}),
         {"FS ! 4: Chinese print mode, double width", "text \"测试\""}},
        {"ASCII test",
         B({{0x1C, 0x2E, 0x1B, 0x21, 0x01}, T("HHH"), {0x1B, 0x21, 0x00, 0x0A}}),
         {"FS .: Chinese mode off", "ESC ! 1: print mode, font B", "ESC ! 0: print mode, normal", "text \"HHH\""}},
        {"bytes above 7F outside Chinese mode",
         B({{0x1C, 0x2E, 0xB2, 0x41, 0x0A}}),
         {"FS .: Chinese mode off", "text \"\\xB2A\""}},
        {"black bar",
         blackBar,
         {"ESC * 0 210: bit image, 210 columns of 8 dots", "ESC J 16: feed, 16 dots",
          "ESC * 0 210: bit image, 210 columns of 8 dots", "ESC J 16: feed, 16 dots"}},
        {"power tests",
         B({{0x1C, 0xAA, 0x16, 0x04, 0x1C, 0xAA, 0x17, 0x02, 0x55}}),
         {"FS AA 16 4: power test, carriage", "FS AA 17 2 85: power test, feed"}},
        {"an empty line", B({{0x0A}}), {"LF: line feed"}},
        {"unknown commands", B({{0x1B, 0x7A, 0x1D, 0x99}}), {"ESC 7A: unknown command", "GS 99: unknown command"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Decode(c.bytes), c.lines) << c.what;
        // The same, a byte at a time: commands are decoded once whole.
        PaperLog log;
        Lines lines;
        for (std::uint8_t b : c.bytes)
            for (const std::string& l : log.Feed(&b, 1))
                lines.push_back(l);
        EXPECT_EQ(lines, c.lines) << c.what << ", a byte at a time";
    }
}

TEST(PaperLog, TheLabelPrintersFramesReadByWhatTheyAskFor) {
    const Bytes query = {0x1B, 0x0D, 0x53, 0x1B, 0x33, 0x00, 0x1B, 0x10, 0x45};
    const Bytes selfTest = {0x1B, 0x0D, 0x4C};
    const Bytes download = {0x1B, 0x0D, 0x53, 0x1B, 0x90, 0x46, 0x57};
    EXPECT_EQ(Decode(B({query, selfTest, download})),
              (Lines{"ESC CR S ... ESC DLE E: setup frame, settings query, 9 bytes", "ESC CR L: self-test page",
                     "ESC CR S ESC 90 F W: download mode"}));
    // A frame whose end is still to come is not read as text meanwhile.
    PaperLog log;
    EXPECT_TRUE(log.Feed(query.data(), 5).empty());
    EXPECT_EQ(log.Feed(query.data() + 5, 4), Lines{"ESC CR S ... ESC DLE E: setup frame, settings query, 9 bytes"});
}

TEST(PaperLog, CountsEverythingAndKeepsTheNewestLines) {
    PaperLog log;
    const Bytes cut = {'A', 0x1B, 0x69};
    for (int i = 0; i < 1500; ++i)
        log.Feed(cut.data(), cut.size());
    EXPECT_EQ(log.Counts().at("full cut"), 1500u);
    EXPECT_EQ(log.Counts().at("text line"), 1500u);
    EXPECT_EQ(log.Lines().size(), PaperLog::kKeptLines);
    EXPECT_EQ(log.Lines().back(), "ESC i: full cut");
    // A line longer than the paper is cut into lines of its width.
    const Bytes longLine(PaperLog::kLineWidth * 2 + 5, 'x');
    log.Clear();
    log.Feed(longLine.data(), longLine.size());
    EXPECT_EQ(log.Lines().size(), 2u);
    EXPECT_EQ(log.OpenLine(), "xxxxx");
}

TEST(PaperLog, EveryPrinterKeepsItsLogAndShowsItInItsState) {
    SimPrinter printer;
    TcpServer server(printer);
    std::vector<std::string> sink;
    printer.SetPrintSink([&](const std::string& line) { sink.push_back(line); });
    test::FdGuard client(test::ConnectTcp(server.Port()));
    const Bytes job = B({{0x1B, 0x40}, T(" Full Cut test"), {0x0A, 0x1B, 0x4A, 0xB0, 0x1B, 0x69}});
    ASSERT_TRUE(test::WriteAll(client.get(), job));
    ASSERT_TRUE(printer.WaitForBytes(job.size(), 5s));
    const Lines lines = {"ESC @: initialize", "text \" Full Cut test\"", "ESC J 176: feed, 176 dots",
                         "ESC i: full cut"};
    EXPECT_EQ(printer.Printed(), lines);
    EXPECT_EQ(printer.PrintedCounts().at("full cut"), 1u);
    printer.SetPrintSink(nullptr);
    EXPECT_EQ(sink, lines);
    const std::string json = printer.StateJson();
    EXPECT_NE(json.find("\"printed\":[\"ESC @: initialize\",\"text \\\" Full Cut test\\\"\""), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"printed_counts\":{"), std::string::npos) << json;
    EXPECT_NE(json.find("\"full cut\":1"), std::string::npos) << json;
}

#ifdef PEMBERLUX_SIM_BINARY

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(PaperLog, TheSimulatorWritesWhatItPrintsToItsPrintLog) {
    test::TempDir dir;
    const auto ready = dir / "sim.ready";
    const auto log = dir / "printed.log";
    std::vector<std::string> args = {PEMBERLUX_SIM_BINARY, "--model",      "LB-610",      "--tcp",     "0",
                                     "--ready-file",       ready.string(), "--print-log", log.string()};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_EQ(spawned, 0);
    ASSERT_GT(pid, 0);
    struct Reaper {
        pid_t pid;
        ~Reaper() {
            if (pid <= 0) return; // ended already
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    } reaper{pid};

    for (int i = 0; i < 100 && !std::filesystem::exists(ready); ++i)
        std::this_thread::sleep_for(50ms);
    const std::string settings = ReadFile(ready);
    const auto at = settings.find("PEMBERLUX_SIM_TCP_PORT=");
    ASSERT_NE(at, std::string::npos) << settings;
    const int port = std::stoi(settings.substr(at + 23));
    {
        test::FdGuard client(test::ConnectTcp(static_cast<std::uint16_t>(port)));
        ASSERT_TRUE(test::WriteAll(client.get(), B({T(" Partial Cut test"), {0x0A, 0x1B, 0x6D}})));
    }
    const std::string head = "tcp " + std::to_string(port) + " | ";
    const std::string expected = head + "text \" Partial Cut test\"\n" + head + "ESC m: partial cut\n";
    for (int i = 0; i < 100 && ReadFile(log) != expected; ++i)
        std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ReadFile(log), expected);
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    reaper.pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

#endif

} // namespace
} // namespace pemberlux::sim
