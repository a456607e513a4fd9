// The simulator as a client sees it: real sockets, ptys and files, and the
// pemberlux-sim command started as a process.
#include "DownloadSim.h"
#include "RawClient.h"
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"
#include "core/base/Version.h"
#include "core/network/PrintServerChannel.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace pemberlux::sim;
using namespace pemberlux::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

Bytes B(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// True when the peer closed: a read reports end-of-file or a reset within `timeout`.
bool SeesEnd(int fd, std::chrono::milliseconds timeout) {
    bool ended = false;
    ReadFor(fd, 1 << 20, timeout, &ended);
    return ended;
}

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

template <class F> std::chrono::milliseconds TimeOf(F&& f) {
    auto start = Clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

Answer Say(const std::string& s, std::chrono::milliseconds delay = 0ms) {
    return Answer{B(s), delay, false};
}

} // namespace

// ---------------------------------------------------------------------------

TEST(TcpServer, ScriptedAnswersComeBackInOrderThenTheDefault) {
    SimPrinter printer;
    printer.QueueAnswer(Say("first"));
    printer.QueueAnswer(Say("second"));
    printer.SetDefaultAnswer({Say("AB"), Say("CD")});
    TcpServer server(printer);
    ASSERT_NE(server.Port(), 0);
    FdGuard c(ConnectTcp(server.Port()));
    ASSERT_GE(c.get(), 0);

    EXPECT_TRUE(WriteAll(c.get(), B("one")));
    EXPECT_EQ(ReadFor(c.get(), 5, 3s), B("first"));
    EXPECT_TRUE(WriteAll(c.get(), B("two")));
    EXPECT_EQ(ReadFor(c.get(), 6, 3s), B("second"));
    EXPECT_TRUE(WriteAll(c.get(), B("three")));
    EXPECT_EQ(ReadFor(c.get(), 4, 3s), B("ABCD"));
    EXPECT_TRUE(WriteAll(c.get(), B("four")));
    EXPECT_EQ(ReadFor(c.get(), 4, 3s), B("ABCD"));
    EXPECT_EQ(printer.Received(), B("onetwothreefour"));
}

TEST(TcpServer, DelayedAnswerComesLate) {
    SimPrinter printer;
    printer.SetDefaultAnswer({Say("late", 1000ms)});
    TcpServer server(printer);
    FdGuard c(ConnectTcp(server.Port()));
    EXPECT_TRUE(WriteAll(c.get(), B("?")));
    EXPECT_TRUE(ReadFor(c.get(), 1, 200ms).empty());
    EXPECT_EQ(ReadFor(c.get(), 4, 5s), B("late"));
}

TEST(TcpServer, DropSendsWhatPrecedesItThenClosesAndServesTheNextClient) {
    SimPrinter printer;
    printer.QueueAnswer(Answer{B("partial"), 0ms, true});
    printer.SetDefaultAnswer({Say("fresh")});
    TcpServer server(printer);
    FdGuard c(ConnectTcp(server.Port()));
    EXPECT_TRUE(WriteAll(c.get(), B("b")));
    bool ended = false;
    EXPECT_EQ(ReadFor(c.get(), 100, 3s, &ended), B("partial"));
    EXPECT_TRUE(ended || SeesEnd(c.get(), 3s));

    FdGuard next(ConnectTcp(server.Port()));
    ASSERT_GE(next.get(), 0);
    EXPECT_TRUE(WriteAll(next.get(), B("c")));
    EXPECT_EQ(ReadFor(next.get(), 5, 3s), B("fresh"));
    EXPECT_EQ(printer.Received(), B("bc"));
}

TEST(TcpServer, OneClientAtATimeTheNextAfterDisconnect) {
    SimPrinter printer;
    printer.SetDefaultAnswer({Say("ok")});
    TcpServer server(printer);
    FdGuard first(ConnectTcp(server.Port()));
    EXPECT_TRUE(WriteAll(first.get(), B("1")));
    ASSERT_EQ(ReadFor(first.get(), 2, 3s), B("ok"));

    FdGuard second(ConnectTcp(server.Port()));
    ASSERT_GE(second.get(), 0); // queued by the kernel, not served yet
    EXPECT_TRUE(WriteAll(second.get(), B("2")));
    EXPECT_TRUE(ReadFor(second.get(), 2, 200ms).empty());
    EXPECT_EQ(printer.Received(), B("1"));

    first.reset();
    EXPECT_EQ(ReadFor(second.get(), 2, 3s), B("ok"));
    EXPECT_EQ(printer.Received(), B("12"));
}

TEST(TcpServer, TwoPrintersAreIndependent) {
    SimPrinter a, b;
    a.SetDefaultAnswer({Say("A")});
    b.SetDefaultAnswer({Say("B")});
    TcpServer sa(a), sb(b);
    ASSERT_NE(sa.Port(), sb.Port());
    FdGuard ca(ConnectTcp(sa.Port())), cb(ConnectTcp(sb.Port()));
    EXPECT_TRUE(WriteAll(cb.get(), B("to b")));
    EXPECT_TRUE(WriteAll(ca.get(), B("to a")));
    EXPECT_EQ(ReadFor(ca.get(), 1, 3s), B("A"));
    EXPECT_EQ(ReadFor(cb.get(), 1, 3s), B("B"));
    EXPECT_EQ(a.Received(), B("to a"));
    EXPECT_EQ(b.Received(), B("to b"));
}

TEST(TcpServer, BusyPortIsAnError) {
    SimPrinter printer;
    TcpServer first(printer);
    EXPECT_THROW(TcpServer(printer, first.Port()), std::system_error);
}

TEST(TcpServer, DestructorEndsPromptlyWithClientAndPendingAnswer) {
    SimPrinter printer;
    printer.SetDefaultAnswer({Say("never", 60s)});
    auto server = std::make_unique<TcpServer>(printer);
    const std::uint16_t port = server->Port();
    FdGuard c(ConnectTcp(port));
    EXPECT_TRUE(WriteAll(c.get(), B("x")));
    ASSERT_TRUE(printer.WaitForBytes(1, 3s));
    EXPECT_LT(TimeOf([&] { server.reset(); }), 3s);
    EXPECT_TRUE(SeesEnd(c.get(), 3s));
    EXPECT_EQ(ConnectTcp(port), -1);
}

// ---------------------------------------------------------------------------

TEST(Faults, DropAfterClosesEachConnectionOnceItBroughtThatManyBytes) {
    SimPrinter printer;
    printer.SetDefaultAnswer({Say("k")});
    Faults f;
    f.dropAfter = 5;
    printer.SetFaults(f);
    TcpServer server(printer);
    for (int round = 0; round < 2; ++round) {
        FdGuard c(ConnectTcp(server.Port()));
        EXPECT_TRUE(WriteAll(c.get(), B("abc")));
        EXPECT_EQ(ReadFor(c.get(), 1, 3s), B("k"));
        EXPECT_TRUE(WriteAll(c.get(), B("defg")));
        EXPECT_TRUE(SeesEnd(c.get(), 3s)) << "round " << round;
    }
    EXPECT_NE(printer.StateJson().find("\"drops\":2"), std::string::npos) << printer.StateJson();
}

TEST(Faults, SilentShortAndGarbageAnswers) {
    SimPrinter printer;
    printer.SetDefaultAnswer({Say("0123"), Say("4567")});
    TcpServer server(printer);
    FdGuard c(ConnectTcp(server.Port()));

    Faults f;
    f.silent = true;
    printer.SetFaults(f);
    EXPECT_TRUE(WriteAll(c.get(), B("s")));
    EXPECT_TRUE(ReadFor(c.get(), 1, 200ms).empty());
    EXPECT_TRUE(printer.WaitForBytes(1, 1s));

    f = Faults{};
    f.shortAnswer = 6;
    printer.SetFaults(f);
    EXPECT_TRUE(WriteAll(c.get(), B("t")));
    EXPECT_EQ(ReadFor(c.get(), 8, 500ms), B("012345"));

    f = Faults{};
    f.garbage = true;
    f.answerDelay = 1000ms;
    printer.SetFaults(f);
    EXPECT_TRUE(WriteAll(c.get(), B("u")));
    EXPECT_TRUE(ReadFor(c.get(), 1, 200ms).empty());
    Bytes got = ReadFor(c.get(), 8, 3s);
    ASSERT_EQ(got.size(), 8u);
    Bytes real = B("01234567");
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NE(got[i], real[i]) << i;
}

// ---------------------------------------------------------------------------

// A loader on a line that lives on: what came before a transfer (another
// page's query) and a tag after a quiet spell starts a new download; bytes
// without a tag, or a tag with no pause before it, belong to the current one.
TEST(DownloadLoader, ATagAfterSilenceStartsTheNextDownload) {
    struct Case {
        const char* first;
        bool pause;
        const char* second;
        const char* kind;
        const char* image;
        std::size_t downloads;
    };
    const Case cases[] = {
        {"\x1b\x0dS\x1b\x33", true, "UDFWabc", "firmware", "abc", 2},
        {"UDFWabc", true, "UDCGfont", "cg", "font", 2},
        {"UDFWabc", false, "UDCGfont", "firmware", "abcUDCGfont", 1},
        {"UDFWabc", true, "xyz", "firmware", "abcxyz", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.second);
        DownloadSim loader;
        PtyPort line(loader);
        FdGuard client(OpenLine(line.Path()));
        ASSERT_GE(client.get(), 0);
        const Bytes first = B(c.first), second = B(c.second);
        ASSERT_TRUE(WriteAll(client.get(), first));
        ASSERT_TRUE(loader.WaitForBytes(first.size(), 3s));
        if (c.pause) std::this_thread::sleep_for(DownloadSim::NEW_DOWNLOAD_SILENCE + 200ms);
        ASSERT_TRUE(WriteAll(client.get(), second));
        // The bytes are recorded before the loader has taken them: wait for what
        // it should come to (it differs from what it was before the second write).
        const auto settled = [&] {
            const Download d = loader.Current();
            return d.kind == c.kind && d.image == B(c.image) && loader.Downloads() == c.downloads;
        };
        for (const auto end = std::chrono::steady_clock::now() + 10s;
             !settled() && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(loader.Current().kind, c.kind);
        EXPECT_EQ(loader.Current().image, B(c.image));
        EXPECT_EQ(loader.Downloads(), c.downloads);
    }
}

// A print port closes its side once it has read the client's end of stream,
// also after a spell of reading nothing (erasing its flash): a client that
// half-closed sees a plain end of stream, not a reset, and by then the loader
// holds the whole image.
TEST(DownloadLoader, ClosesAfterReadingTheEndOfATransfer) {
    DownloadSim loader;
    Faults busy;
    busy.busyAfter = 1;
    busy.busyFor = 500ms;
    loader.SetFaults(busy);
    TcpServer server(loader);
    FdGuard c(ConnectTcp(server.Port()));
    ASSERT_GE(c.get(), 0);
    Bytes transfer = B("UDFW");
    const Bytes image(200000, 0x5A);
    transfer.insert(transfer.end(), image.begin(), image.end());
    ASSERT_TRUE(WriteAll(c.get(), transfer));
    ASSERT_EQ(::shutdown(c.get(), SHUT_WR), 0);
    pollfd p{c.get(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 20000), 1);
    char byte;
    EXPECT_EQ(::recv(c.get(), &byte, 1, 0), 0) << "a reset: " << errno;
    EXPECT_EQ(loader.Current().kind, "firmware");
    EXPECT_EQ(loader.Current().image.size(), image.size());
}

TEST(PtyPort, RoundTripWithTheClientsOwnLineSettings) {
    SimPrinter printer;
    const Bytes answer = {0x00, 0x11, 0x13, '\r', '\n', 0xff};
    printer.SetDefaultAnswer({Answer{answer}});
    PtyPort pty(printer);
    ASSERT_EQ(pty.Path().rfind("/dev/pts/", 0), 0u) << pty.Path();
    // 7 data bits with even parity and two stop bits as the program may set them;
    // a pty carries bytes unchanged whatever the line says.
    FdGuard c(OpenLine(pty.Path(), B115200, PARENB | CSTOPB));
    ASSERT_GE(c.get(), 0);
    Bytes frame = {0x1b, 0x00, 0x0d, 0x0a, 0x11, 0x13, 0x7f, 0xff};
    EXPECT_TRUE(WriteAll(c.get(), frame));
    EXPECT_EQ(ReadFor(c.get(), answer.size(), 3s), answer);
    EXPECT_TRUE(printer.WaitForBytes(frame.size(), 3s));
    EXPECT_EQ(printer.Received(), frame);
}

TEST(PtyPort, LineStaysUsableAfterTheClientClosesIt) {
    SimPrinter printer;
    printer.SetDefaultAnswer({Say("ok", 100ms)});
    PtyPort pty(printer);
    for (int i = 0; i < 3; ++i) {
        FdGuard c(OpenLine(pty.Path()));
        ASSERT_GE(c.get(), 0);
        // A parallel write purges the line first.
        tcflush(c.get(), TCIOFLUSH);
        EXPECT_TRUE(WriteAll(c.get(), B("n")));
        EXPECT_EQ(ReadFor(c.get(), 2, 3s), B("ok")) << "open " << i;
    }
    EXPECT_EQ(printer.Received(), B("nnn"));
}

TEST(PtyPort, DropHangsUpTheLineWhichCanBeOpenedAgain) {
    SimPrinter printer;
    printer.QueueAnswer(Answer{B("cut"), 0ms, true});
    printer.SetDefaultAnswer({Say("again")});
    PtyPort pty(printer);
    FdGuard c(OpenLine(pty.Path()));
    EXPECT_TRUE(WriteAll(c.get(), B("x")));
    bool ended = false;
    // The bytes before the drop arrive, as on TCP.
    EXPECT_EQ(ReadFor(c.get(), 100, 2s, &ended), B("cut"));
    if (ended) {
        EXPECT_LT(write(c.get(), "y", 1), 0);
        for (int i = 0; i < 100 && pty.Hangups() == 0; ++i)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(pty.Hangups(), 1u);
    } else {
        // Without the right to hang up a line, a drop ends the answer only.
        EXPECT_EQ(pty.Hangups(), 0u);
    }
    c.reset(OpenLine(pty.Path()));
    ASSERT_GE(c.get(), 0);
    EXPECT_TRUE(WriteAll(c.get(), B("z")));
    EXPECT_EQ(ReadFor(c.get(), 5, 3s), B("again"));
}

TEST(PtyPort, DestructorEndsPromptlyWithClientAndPendingAnswer) {
    SimPrinter printer;
    printer.SetDefaultAnswer({Say("never", 60s)});
    auto pty = std::make_unique<PtyPort>(printer);
    FdGuard c(OpenLine(pty->Path()));
    EXPECT_TRUE(WriteAll(c.get(), B("x")));
    ASSERT_TRUE(printer.WaitForBytes(1, 3s));
    EXPECT_LT(TimeOf([&] { pty.reset(); }), 3s);
    EXPECT_TRUE(SeesEnd(c.get(), 3s));
}

// ---------------------------------------------------------------------------

TEST(FakeUsbTree, LaidOutAsTheKernelLaysOutUsbPrinters) {
    pemberlux::test::TempDir dir;
    SimPrinter printer;
    FakeUsbTree tree(dir.Path());
    std::string node = tree.AddPrinter(printer, "3A7E", "5e10");
    const fs::path sys = tree.SysfsRoot(), dev = tree.DevRoot();
    EXPECT_EQ(sys, dir.Path() / "sys");
    EXPECT_EQ(dev, dir.Path() / "dev");
    EXPECT_EQ(fs::path(node), dev / "usb" / "lp0");

    const fs::path cls = sys / "class" / "usbmisc" / "lp0";
    ASSERT_TRUE(fs::is_symlink(cls));
    EXPECT_TRUE(fs::read_symlink(cls).is_relative()); // resolves under any root
    const fs::path iface = sys / "devices" / "pci0000:00" / "0000:00:14.0" / "usb1" / "1-1" / "1-1:1.0";
    EXPECT_EQ(fs::canonical(cls), fs::canonical(iface / "usbmisc" / "lp0"));
    ASSERT_TRUE(fs::is_symlink(cls / "device"));
    EXPECT_EQ(fs::canonical(cls / "device"), fs::canonical(iface));
    const fs::path usbDevice = fs::canonical(cls / "device").parent_path();
    EXPECT_EQ(ReadText(usbDevice / "idVendor"), "3a7e\n");
    EXPECT_EQ(ReadText(usbDevice / "idProduct"), "5e10\n");
    std::string uevent = ReadText(cls / "uevent");
    EXPECT_NE(uevent.find("MAJOR=180\n"), std::string::npos) << uevent;
    EXPECT_NE(uevent.find("MINOR=0\n"), std::string::npos) << uevent;
    EXPECT_NE(uevent.find("DEVNAME=usb/lp0\n"), std::string::npos) << uevent;

    ASSERT_TRUE(fs::is_symlink(node));
    struct stat st {};
    ASSERT_EQ(stat(node.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    printer.SetDefaultAnswer({Say("status")});
    FdGuard c(OpenLine(node));
    ASSERT_GE(c.get(), 0);
    EXPECT_TRUE(WriteAll(c.get(), B("\x1b\x40")));
    EXPECT_EQ(ReadFor(c.get(), 6, 3s), B("status"));
    EXPECT_EQ(printer.Received(), B("\x1b\x40"));
}

TEST(FakeUsbTree, TwoPrintersAtOnceEachWithItsOwnNodeAndIds) {
    pemberlux::test::TempDir dir;
    SimPrinter label, receipt;
    label.SetDefaultAnswer({Say("L")});
    receipt.SetDefaultAnswer({Say("R")});
    FakeUsbTree tree(dir.Path());
    std::string n0 = tree.AddPrinter(label, "3a7e", "5e10");
    std::string n1 = tree.AddPrinter(receipt, "3A7E", "41A2");
    EXPECT_EQ(fs::path(n1), tree.DevRoot() / "usb" / "lp1");

    std::map<std::string, std::string> products;
    for (const auto& entry : fs::directory_iterator(tree.SysfsRoot() / "class" / "usbmisc")) {
        fs::path usbDevice = fs::canonical(entry.path() / "device").parent_path();
        products[entry.path().filename().string()] = ReadText(usbDevice / "idProduct");
        std::string minor = entry.path().filename().string().substr(2);
        EXPECT_NE(ReadText(entry.path() / "uevent").find("MINOR=" + minor + "\n"), std::string::npos);
    }
    EXPECT_EQ(products, (std::map<std::string, std::string>{{"lp0", "5e10\n"}, {"lp1", "41a2\n"}}));

    FdGuard c0(OpenLine(n0)), c1(OpenLine(n1));
    EXPECT_TRUE(WriteAll(c1.get(), B("one")));
    EXPECT_TRUE(WriteAll(c0.get(), B("zero")));
    EXPECT_EQ(ReadFor(c0.get(), 1, 3s), B("L"));
    EXPECT_EQ(ReadFor(c1.get(), 1, 3s), B("R"));
    EXPECT_EQ(label.Received(), B("zero"));
    EXPECT_EQ(receipt.Received(), B("one"));
}

TEST(FakeUsbTree, BadIdsAreRefused) {
    pemberlux::test::TempDir dir;
    SimPrinter printer;
    FakeUsbTree tree(dir.Path());
    EXPECT_THROW(tree.AddPrinter(printer, "3A7EX", "0001"), std::invalid_argument);
    EXPECT_THROW(tree.AddPrinter(printer, "3A7E", "zz"), std::invalid_argument);
    EXPECT_FALSE(fs::exists(tree.SysfsRoot() / "class" / "usbmisc" / "lp0"));
}

TEST(FakeUsbTree, DestructorEndsPromptlyAndTakesThePrintersAway) {
    pemberlux::test::TempDir dir;
    SimPrinter printer;
    printer.SetDefaultAnswer({Say("never", 60s)});
    auto tree = std::make_unique<FakeUsbTree>(dir.Path());
    std::string node = tree->AddPrinter(printer, "3a7e", "41a3");
    FdGuard c(OpenLine(node));
    EXPECT_TRUE(WriteAll(c.get(), B("x")));
    ASSERT_TRUE(printer.WaitForBytes(1, 3s));
    EXPECT_LT(TimeOf([&] { tree.reset(); }), 3s);
    EXPECT_FALSE(fs::exists(fs::symlink_status(node)));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "sys/class/usbmisc/lp0")));
}

// ---------------------------------------------------------------------------
// The pemberlux-sim command

#ifdef PEMBERLUX_SIM_BINARY

namespace {

// pemberlux-sim started as a child process, its stdout in a file.
class SimProcess {
public:
    SimProcess(std::vector<std::string> args, const fs::path& stdoutFile) {
        args.insert(args.begin(), PEMBERLUX_SIM_BINARY);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~SimProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    pid_t Pid() const { return pid_; }

    // Exit status, or -1 when it did not end within `timeout`.
    int WaitExit(std::chrono::milliseconds timeout) {
        auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
};

bool WaitForFile(const fs::path& file, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        if (fs::exists(file)) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// KEY=VALUE lines, shell-quoted values unquoted.
std::map<std::string, std::string> ReadSettings(const fs::path& file) {
    std::map<std::string, std::string> out;
    std::istringstream in(ReadText(file));
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
            value = value.substr(1, value.size() - 2);
        out[line.substr(0, eq)] = value;
    }
    return out;
}

} // namespace

TEST(SimCommand, TellsItsVersionAndListsItsModelsOneALine) {
    pemberlux::test::TempDir dir;
    SimProcess version({"--version"}, dir / "version");
    EXPECT_EQ(version.WaitExit(10s), 0);
    EXPECT_EQ(ReadText(dir / "version"), "pemberlux-sim " PEMBERLUX_VERSION "\n");

    SimProcess help({"--help"}, dir / "help");
    EXPECT_EQ(help.WaitExit(10s), 0);
    const std::string text = ReadText(dir / "help");
    // An entry a line, its text beside the name, as the options stand.
    EXPECT_NE(text.find("\nModels:\n  scripted" + std::string(14, ' ') + "answers only what --answer says"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n  TR-530" + std::string(16, ' ') + "the TR-520 under its Chinese name\n"), std::string::npos)
        << text;
    // The package ships no source tree to point into.
    EXPECT_EQ(text.find("README"), std::string::npos) << text;
}

TEST(SimCommand, ServesTcpUntilSigtermThenExitsCleanlyWithItsState) {
    pemberlux::test::TempDir dir;
    const fs::path ready = dir / "ready", state = dir / "state.json";
    SimProcess sim({"--tcp", "0", "--answer", "06", "--answer", "1b:40", "--ready-file", ready.string(), "--state-file",
                    state.string()},
                   dir / "stdout");
    ASSERT_GT(sim.Pid(), 0);
    ASSERT_TRUE(WaitForFile(ready, 10s));
    auto settings = ReadSettings(ready);
    ASSERT_TRUE(settings.count("PEMBERLUX_SIM_TCP_PORT"));
    EXPECT_EQ(settings["PEMBERLUX_SIM_PID"], std::to_string(sim.Pid()));
    auto port = static_cast<std::uint16_t>(std::stoi(settings["PEMBERLUX_SIM_TCP_PORT"]));

    {
        FdGuard c(ConnectTcp(port));
        ASSERT_GE(c.get(), 0);
        EXPECT_TRUE(WriteAll(c.get(), B("\x10\x04\x01")));
        EXPECT_EQ(ReadFor(c.get(), 1, 3s), Bytes{0x06});
        EXPECT_TRUE(WriteAll(c.get(), B("\x10\x04\x02")));
        EXPECT_EQ(ReadFor(c.get(), 2, 3s), (Bytes{0x1b, 0x40}));
        EXPECT_TRUE(WriteAll(c.get(), B("\x10\x04\x03")));
        EXPECT_EQ(ReadFor(c.get(), 2, 3s), (Bytes{0x1b, 0x40}));
    }
    kill(sim.Pid(), SIGUSR1);
    ASSERT_TRUE(WaitForFile(state, 5s));
    EXPECT_NE(ReadText(state).find("\"received_hex\":\"100401100402100403\""), std::string::npos) << ReadText(state);

    kill(sim.Pid(), SIGTERM);
    EXPECT_EQ(sim.WaitExit(5s), 0);
    EXPECT_FALSE(fs::exists(ready)); // a later run is not mistaken for this one
    EXPECT_NE(ReadText(state).find("\"port\":" + std::to_string(port)), std::string::npos);
    EXPECT_NE(ReadText(dir / "stdout").find("ListenPort=" + std::to_string(port)), std::string::npos);
    EXPECT_EQ(ConnectTcp(port), -1);
}

TEST(SimCommand, UsbAndSerialPrintersWithTheirEnvironment) {
    pemberlux::test::TempDir dir;
    const fs::path ready = dir / "ready";
    SimProcess sim(
        {"--usb", "3A7E:41A2", "--usb", "5e10:1", "--serial", "--answer", "aa", "--ready-file", ready.string()},
        dir / "stdout");
    ASSERT_TRUE(WaitForFile(ready, 10s));
    auto settings = ReadSettings(ready);
    const fs::path sys = settings["PEMBERLUX_SYSFS_ROOT"], devRoot = settings["PEMBERLUX_DEV_ROOT"];
    ASSERT_FALSE(sys.empty());
    ASSERT_FALSE(devRoot.empty());
    EXPECT_NE(ReadText(dir / "stdout").find("PEMBERLUX_SYSFS_ROOT=" + sys.string() + "\n"), std::string::npos);

    const fs::path lp1 = fs::canonical(sys / "class/usbmisc/lp1/device").parent_path();
    EXPECT_EQ(ReadText(lp1 / "idVendor"), "5e10\n");
    EXPECT_EQ(ReadText(lp1 / "idProduct"), "0001\n");
    for (const fs::path& node :
         {devRoot / "usb/lp0", devRoot / "usb/lp1", fs::path(settings["PEMBERLUX_SIM_SERIAL"])}) {
        FdGuard c(OpenLine(node));
        ASSERT_GE(c.get(), 0) << node;
        EXPECT_TRUE(WriteAll(c.get(), B("q")));
        EXPECT_EQ(ReadFor(c.get(), 1, 3s), Bytes{0xaa}) << node;
    }

    kill(sim.Pid(), SIGINT);
    EXPECT_EQ(sim.WaitExit(5s), 0);
    EXPECT_FALSE(fs::exists(sys)); // its own temporary tree is gone
}

TEST(SimCommand, PrintServersAnswerTheNetworkSearch) {
    pemberlux::test::TempDir dir;
    const fs::path ready = dir / "ready", state = dir / "state.json";
    SimProcess sim({"--print-servers", "3", "--print-server-port", "0", "--ready-file", ready.string(), "--state-file",
                    state.string()},
                   dir / "stdout");
    ASSERT_TRUE(WaitForFile(ready, 10s));
    auto settings = ReadSettings(ready);
    EXPECT_EQ(settings["PEMBERLUX_BROADCAST_ADDR"], "127.255.255.255");
    const auto port = static_cast<std::uint16_t>(std::stoi(settings["PEMBERLUX_SIM_PRINT_SERVER_PORT"]));

    pemberlux::PrintServerChannel channel(port);
    ASSERT_EQ(channel.Search(), pemberlux::PsSearchResult::Started);
    ASSERT_TRUE(channel.WaitIdle(5s));
    std::vector<std::string> names;
    pemberlux::DiscoveryRecord record;
    while (channel.PopAnswer(record))
        names.push_back(record.DeviceName() + " " + record.IpText());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"PS-0 127.0.1.1", "PS-1 127.0.1.2", "PS-2 127.0.1.3"}));

    kill(sim.Pid(), SIGTERM);
    EXPECT_EQ(sim.WaitExit(5s), 0);
    EXPECT_NE(ReadText(state).find("\"name\":\"PS-2\",\"dhcp\":false,\"frames\":1"), std::string::npos)
        << ReadText(state);
}

TEST(SimCommand, LabelPrinterAnswersItsTextsWithOrWithoutTheZeroByte) {
    for (const bool zero : {true, false}) {
        SCOPED_TRACE(zero ? "with zero" : "without zero");
        pemberlux::test::TempDir dir;
        const fs::path ready = dir / "ready";
        std::vector<std::string> args{"--model", "LB-600", "--tcp", "0", "--ready-file", ready.string()};
        if (!zero) args.push_back("--text-without-zero");
        SimProcess sim(args, dir / "stdout");
        ASSERT_GT(sim.Pid(), 0);
        ASSERT_TRUE(WaitForFile(ready, 10s));
        auto port = static_cast<std::uint16_t>(std::stoi(ReadSettings(ready)["PEMBERLUX_SIM_TCP_PORT"]));
        FdGuard c(ConnectTcp(port));
        ASSERT_GE(c.get(), 0);
        // Firmware version: 1B 0D 53 1B 1A 01 1B 10 45.
        EXPECT_TRUE(WriteAll(c.get(), Bytes{0x1B, 0x0D, 0x53, 0x1B, 0x1A, 0x01, 0x1B, 0x10, 0x45}));
        Bytes expected = B("LB-600 V1.09 2023-11-02");
        if (zero) expected.push_back(0x00);
        EXPECT_EQ(ReadFor(c.get(), expected.size() + 1, 1s), expected);
    }
}

TEST(SimCommand, RefusesBadOptions) {
    pemberlux::test::TempDir dir;
    for (std::vector<std::string> args : {std::vector<std::string>{"--tcp", "70000"},
                                          {"--usb", "3A7E"},
                                          {"--answer", "0g"},
                                          {"--bogus"},
                                          {},
                                          {"--tcp", "0", "--model", "none"},
                                          {"--print-servers", "1001"}}) {
        SimProcess sim(args, dir / "stdout");
        EXPECT_EQ(sim.WaitExit(5s), 2) << (args.empty() ? "(no options)" : args[0]);
    }
}

#endif
