// The simulator's chaos mode: what each fault does to an answer, the same
// faults for the same seed, and a reset and a status burst as a TCP client
// sees them.
#include "RawClient.h"
#include "SimPrinter.h"
#include "Transports.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <set>

using namespace pemberlux::sim;
using namespace pemberlux::test;
using namespace std::chrono_literals;

namespace {

const Bytes kAnswer = {0x1B, 0x0D, 0x53, 0x33, 0x2D, 0x61, 0x08, 0x03, 0x00, 0x01};
const std::uint8_t kChunk[] = {0x1B, 0x0D, 0x53, 0x1B, 0x33, 0x00, 0x1B, 0x10, 0x45};

Bytes Joined(const std::vector<Answer>& steps) {
    Bytes out;
    for (const Answer& a : steps)
        out.insert(out.end(), a.bytes.begin(), a.bytes.end());
    return out;
}

bool IsPrefix(const Bytes& a, const Bytes& of) {
    return a.size() <= of.size() && std::equal(a.begin(), a.end(), of.begin());
}

// The first seed from `from` whose first exchange after a connection gets `fault`.
std::uint64_t SeedFor(ChaosFault fault, bool greeted, std::uint64_t from = 0) {
    for (std::uint64_t seed = from;; ++seed) {
        SimPrinter p;
        p.SetChaos(seed);
        const bool burst = !p.Connected().empty();
        p.Receive(kChunk, sizeof kChunk);
        if (burst == greeted && p.ChaosRecord().back().fault == fault) return seed;
    }
}

TEST(ChaosMode, EachFaultDoesWhatItSaysToTheAnswer) {
    const std::map<ChaosFault, std::function<bool(const std::vector<Answer>&)>> checks = {
        {ChaosFault::None, [](const auto& s) { return Joined(s) == kAnswer && s.front().delay == 0ms; }},
        {ChaosFault::Silent, [](const auto& s) { return Joined(s).empty(); }},
        {ChaosFault::Late,
         [](const auto& s) { return Joined(s) == kAnswer && s.front().delay >= 50ms && s.front().delay <= 1500ms; }},
        {ChaosFault::Short, [](const auto& s) { return Joined(s).size() < kAnswer.size() && IsPrefix(Joined(s), kAnswer); }},
        {ChaosFault::Garbage,
         [](const auto& s) {
             const Bytes g = Joined(s);
             if (g.size() != kAnswer.size()) return false;
             for (std::size_t i = 0; i < g.size(); ++i)
                 if (g[i] == kAnswer[i]) return false;
             return true;
         }},
        {ChaosFault::Split,
         [](const auto& s) {
             return Joined(s) == kAnswer && s.size() >= 2 && s.size() <= 4 &&
                    std::all_of(s.begin() + 1, s.end(), [](const Answer& a) {
                        return !a.bytes.empty() && a.delay >= 10ms && a.delay <= 600ms;
                    });
         }},
        {ChaosFault::Dropped, [](const auto& s) { return Joined(s).empty() && s.back().drop; }},
        {ChaosFault::Reset, [](const auto& s) { return IsPrefix(Joined(s), kAnswer) && s.back().reset; }},
        {ChaosFault::SlowReader,
         [](const auto& s) {
             return s.front().bytes.empty() && s.front().delay >= 50ms && s.front().delay <= 1500ms &&
                    Joined(s) == kAnswer;
         }},
        {ChaosFault::StatusBurst,
         [](const auto& s) {
             const Bytes all = Joined(s);
             return IsPrefix(kAnswer, all) && all.size() >= kAnswer.size() + 1 && all.size() <= kAnswer.size() + 8;
         }},
    };
    SimPrinter printer;
    printer.SetDefaultAnswer({Answer{kAnswer}});
    printer.SetChaos(42);
    std::set<ChaosFault> seen;
    for (int i = 0; i < 400; ++i) {
        const std::vector<Answer> steps = printer.Receive(kChunk, sizeof kChunk);
        const ChaosExchange e = printer.ChaosRecord().back();
        seen.insert(e.fault);
        ASSERT_TRUE(checks.at(e.fault)(steps)) << "exchange " << i << ": " << ChaosFaultName(e.fault);
        EXPECT_EQ(e.sent, Joined(steps));
        EXPECT_EQ(e.chunkBytes, sizeof kChunk);
    }
    EXPECT_EQ(seen.size(), kChaosFaultCount);
    // Paused, the printer answers plainly and records nothing.
    printer.SetChaosActive(false);
    EXPECT_EQ(Joined(printer.Receive(kChunk, sizeof kChunk)), kAnswer);
    EXPECT_EQ(printer.ChaosRecord().size(), 400u);
    EXPECT_EQ(printer.Received().size(), 401 * sizeof kChunk);
}

TEST(ChaosMode, TheSameSeedGivesTheSameFaults) {
    auto faults = [](std::uint64_t seed) {
        SimPrinter p;
        p.SetDefaultAnswer({Answer{kAnswer}});
        p.SetChaos(seed);
        std::vector<std::pair<ChaosFault, Bytes>> out;
        for (int i = 0; i < 60; ++i) {
            if (i % 10 == 0) p.Connected();
            p.Receive(kChunk, sizeof kChunk);
        }
        for (const ChaosExchange& e : p.ChaosRecord())
            out.emplace_back(e.fault, e.sent);
        return out;
    };
    EXPECT_EQ(faults(7), faults(7));
    EXPECT_NE(faults(7), faults(8));
}

TEST(ChaosMode, ATcpClientIsGreetedByAStatusBurstOrReset) {
    {
        SimPrinter printer;
        printer.SetChaos(SeedFor(ChaosFault::None, true));
        TcpServer server(printer);
        FdGuard client(ConnectTcp(server.Port()));
        const RawBytes greeting = ReadFor(client.get(), 1, 5s);
        ASSERT_FALSE(greeting.empty());
        const RawBytes more = ReadFor(client.get(), 8, 200ms);
        RawBytes all = greeting;
        all.insert(all.end(), more.begin(), more.end());
        ASSERT_EQ(printer.ChaosRecord().size(), 1u);
        EXPECT_EQ(printer.ChaosRecord()[0].fault, ChaosFault::StatusBurst);
        EXPECT_EQ(printer.ChaosRecord()[0].chunkBytes, 0u);
        EXPECT_EQ(all, printer.ChaosRecord()[0].sent);
    }
    {
        SimPrinter printer;
        printer.SetChaos(SeedFor(ChaosFault::Reset, false));
        TcpServer server(printer);
        FdGuard client(ConnectTcp(server.Port()));
        ASSERT_TRUE(WriteAll(client.get(), kChunk, sizeof kChunk));
        char buffer[64];
        ssize_t n = 0;
        while ((n = ::recv(client.get(), buffer, sizeof buffer, 0)) > 0) {
        }
        EXPECT_EQ(n, -1);
        EXPECT_EQ(errno, ECONNRESET);
    }
}

} // namespace
