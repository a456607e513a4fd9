// One exchange as the pages run it (open, frame, reply by its rule, close),
// against a printer the test plays at the far end of a serial line or a socket.
#include "PortFixtures.h"
#include "TempDir.h"
#include "core/port/Exchange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <thread>

namespace pemberlux::test {
namespace {

// The printer's end, as the test drives it.
class TestPrinter {
public:
    virtual ~TestPrinter() = default;
    virtual void Configure(PrinterPort& port) = 0;
    virtual std::string Receive(std::size_t count) = 0;
    virtual void Send(const std::string& bytes) = 0;
};

class SerialPrinter : public TestPrinter {
public:
    void Configure(PrinterPort& port) override { UseSerial(port, pty_.Path()); }
    std::string Receive(std::size_t count) override { return pty_.Receive(count, 5000ms); }
    void Send(const std::string& bytes) override { pty_.Send(bytes); }

private:
    Pty pty_;
};

class NetworkPrinter : public TestPrinter {
public:
    void Configure(PrinterPort& port) override { UseNetwork(port, socket_.Port()); }
    std::string Receive(std::size_t count) override { return socket_.Receive(count, 5000ms); }
    void Send(const std::string& bytes) override { socket_.Send(bytes); }

private:
    SocketPrinter socket_;
};

// Part of the printer's answer: `after` the previous part (or the frame), `bytes`.
struct Part {
    std::chrono::milliseconds after;
    std::string bytes;
};

struct ReplyCase {
    const char* name;
    bool terminated; // the rule knows a whole reply by its closing 0
    std::vector<Part> answer;
    bool stopped; // the job is stopped 300 ms after the frame went out
    ExchangeResult::Status status;
    std::string reply;
    bool late;
    std::optional<PortErrorMessage> message;
};

using namespace std::string_literals;
const PortErrorMessage timedOut{StringId{174}, MessageIcon::Stop};

// The printer has 1000 ms to begin; 1500 ms of silence end a reply. The gaps
// leave room for a busy machine on both sides of each bound.
// clang-format off
const ReplyCase replies[] = {
    {"WholeByItsRule", true, {{0ms, "SN-"}, {100ms, "0042\0"s}, {700ms, "tail"}}, false,
     ExchangeResult::Done, "SN-0042\0"s, false, std::nullopt},
    {"WholeBySilence", false, {{0ms, "AB"}, {100ms, "CD"}}, false,
     ExchangeResult::Done, "ABCD", false, std::nullopt},
    {"NoReply", true, {}, false,
     ExchangeResult::NoReply, "", false, timedOut},
    {"BeginsInTimeEndsLate", true, {{600ms, "AB"}, {700ms, "CD\0"s}}, false,
     ExchangeResult::Done, "ABCD\0"s, true, timedOut},
    {"StoppedWhileTheReplyComes", false, {{0ms, "AB"}}, true,
     ExchangeResult::Stopped, "", false, std::nullopt},
};
// clang-format on

using MakePrinter = std::function<std::unique_ptr<TestPrinter>()>;
struct Transport {
    const char* name;
    MakePrinter make;
};
const Transport transports[] = {
    {"Serial", [] { return std::make_unique<SerialPrinter>(); }},
    {"Network", [] { return std::make_unique<NetworkPrinter>(); }},
};

void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << c.name;
}
void PrintTo(const Transport& t, std::ostream* os) {
    *os << t.name;
}

class ExchangeReplyTest : public ::testing::TestWithParam<std::tuple<ReplyCase, Transport>> {};

TEST_P(ExchangeReplyTest, ReplyAndMessage) {
    const auto& [c, transport] = GetParam();
    std::unique_ptr<TestPrinter> printer = transport.make();
    PrinterPort port;
    printer->Configure(port);
    const std::string frame = "\x1b\x0dS?";
    std::string received;
    std::jthread printerSide([&] {
        received = printer->Receive(frame.size());
        for (const Part& part : c.answer) {
            std::this_thread::sleep_for(part.after);
            printer->Send(part.bytes);
        }
    });
    ReplyRule rule;
    rule.maxBytes = 64;
    rule.timeout = 1000ms;
    rule.silence = 1500ms;
    if (c.terminated)
        rule.complete = [](const std::uint8_t* data, std::size_t size) {
            return std::find(data, data + size, 0) != data + size;
        };
    std::optional<StopAfter> stop;
    if (c.stopped) stop.emplace(300ms);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size());
    ExchangeResult r = Exchange(port, bytes, &rule, stop ? stop->Job() : Deadline(30s));
    printerSide.join();

    EXPECT_EQ(received, frame);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(std::string(r.reply.begin(), r.reply.end()), c.reply);
    EXPECT_EQ(r.late, c.late);
    EXPECT_EQ(ExchangeMessage(r, port.kind), c.message);
    EXPECT_TRUE(AllClosed(port));
}

INSTANTIATE_TEST_SUITE_P(Cases, ExchangeReplyTest,
                         ::testing::Combine(::testing::ValuesIn(replies), ::testing::ValuesIn(transports)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
                         });

// A failed open ends the exchange with the open's own message.
TEST(ExchangeTest, FailedOpenShowsTheOpensMessage) {
    TempDir empty;
    ScopedEnv noUsb("PEMBERLUX_SYSFS_ROOT", empty.Path().c_str());
    struct Case {
        PortKind kind;
        std::string device;
        PortErrorCode code;
        int message;
    } cases[] = {
        {PORT_COM, (empty / "ttyS7").string(), PortErrorCode::Busy, 145},
        {PORT_LPT, (empty / "lp7").string(), PortErrorCode::Open, 139},
        {PORT_USB, "", PortErrorCode::NoDevices, 188},
        {PORT_LAN, "", PortErrorCode::Open, 206},
    };
    for (const Case& c : cases) {
        PrinterPort port;
        UseSerial(port, c.device);
        UseNetwork(port, ClosedPort());
        port.kind = c.kind;
        port.lptName = c.device;
        const std::uint8_t frame[] = {0x1b, '@'};
        ExchangeResult r = SendFrame(port, frame, Deadline(30s));
        EXPECT_EQ(r.status, ExchangeResult::OpenFailed) << c.kind;
        EXPECT_EQ(r.code, c.code) << c.kind;
        EXPECT_EQ(ExchangeMessage(r, c.kind), (PortErrorMessage{StringId{c.message}, MessageIcon::Warning})) << c.kind;
    }
}

} // namespace
} // namespace pemberlux::test
