// The print-server channel against simulated print servers: real UDP sockets on
// the loopback broadcast, on a port the simulator picks (one case on 1901).
#include "PrintServerSim.h"
#include "TempDir.h"
#include "core/network/PrintServerChannel.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <random>
#include <thread>

using namespace pemberlux;
using namespace std::chrono_literals;
using sim::Bytes;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// The record a print server sends, as the channel would queue it.
DiscoveryRecord RecordOf(const sim::VirtualPrintServer& server) {
    const Bytes bytes = sim::SearchAnswer(server);
    return ParseDiscoveryDatagram(bytes.data(), bytes.size()).value();
}

// Runs a search to its end and drains the queue as the list-fill worker does.
std::vector<DiscoveryRecord> SearchAll(PrintServerChannel& channel) {
    std::vector<DiscoveryRecord> found;
    EXPECT_EQ(channel.Search(), PsSearchResult::Started);
    const auto start = Clock::now();
    DiscoveryRecord r;
    while (MsSince(start) < 30000) {
        channel.WaitAnswerOrIdle(200ms);
        while (channel.PopAnswer(r))
            found.push_back(r);
        if (channel.IsIdle()) break;
    }
    while (channel.PopAnswer(r))
        found.push_back(r);
    EXPECT_TRUE(channel.IsIdle());
    return found;
}

Bytes Image(const sim::VirtualPrintServer& s) {
    return Bytes(s.image.begin(), s.image.end());
}

Bytes Concat(const ConfigImage& image) {
    Bytes all(image.blockA.begin(), image.blockA.end());
    all.insert(all.end(), image.blockB.begin(), image.blockB.end());
    all.insert(all.end(), image.blockC.begin(), image.blockC.end());
    all.insert(all.end(), image.blockD.begin(), image.blockD.end());
    return all;
}

// A device that answers the search and then never stops answering: 32
// records every 5 ms to the searcher, until it is destroyed.
class EndlessResponder {
public:
    // The record it sends: IP 127.0.9.9, MAC 02:50:53:00:09:09, firmware 300, "ENDLESS".
    static constexpr std::uint8_t RECORD[36] = {0x54, 0x56, 0x50, 0x53, 0x01, 127,  0,    9,   9,   0x02, 0x50, 0x53,
                                                0x00, 0x09, 0x09, 0x2C, 0x01, 0x00, 0x00, 'E', 'N', 'D',  'L',  'E',
                                                'S',  'S',  0x00, 0,    0,    0,    0,    0,   0,   0,    0,    0};

    explicit EndlessResponder(std::uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(port);
        ::inet_pton(AF_INET, "127.255.255.255", &at.sin_addr);
        bound_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&at), sizeof at) == 0;
        thread_ = std::thread([this] { Run(); });
    }
    ~EndlessResponder() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    bool Bound() const { return bound_; }
    long Sent() const { return sent_; }

private:
    void Run() {
        sockaddr_in searcher{};
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            std::uint8_t frame[64];
            socklen_t size = sizeof searcher;
            const ssize_t n = ::recvfrom(fd_, frame, sizeof frame, 0, reinterpret_cast<sockaddr*>(&searcher), &size);
            if (n == 4 && frame[0] == 0xFF && frame[1] == 0x01 && frame[2] == 0x01 && frame[3] == 0x02) break;
        }
        while (!stop_) {
            for (int i = 0; i < 32; ++i) {
                if (::sendto(fd_, RECORD, sizeof RECORD, 0, reinterpret_cast<const sockaddr*>(&searcher),
                             sizeof searcher) == sizeof RECORD)
                    ++sent_;
            }
            std::this_thread::sleep_for(5ms);
        }
    }

    int fd_ = -1;
    bool bound_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<long> sent_{0};
    std::thread thread_;
};

class PrintServerChannelTest : public ::testing::Test {
protected:
    sim::PrintServerSim net{0};
    PrintServerChannel channel{net.Port()};

    std::size_t AddServer(int n) { return net.Add(sim::MakePrintServer(n)); }
    DiscoveryRecord Record(std::size_t index) { return RecordOf(net.Server(index)); }
};

} // namespace

// ---- search ----

TEST_F(PrintServerChannelTest, SearchBroadcastsFF010102) {
    ASSERT_EQ(channel.Search(), PsSearchResult::Started);
    ASSERT_TRUE(net.WaitForFrames(1, 2s));
    EXPECT_EQ(net.Frames(), (std::vector<Bytes>{{0xFF, 0x01, 0x01, 0x02}}));
    EXPECT_TRUE(channel.WaitIdle(3s));
}

TEST_F(PrintServerChannelTest, SearchWithoutPrintServersEndsAbout500msAfterTheFrame) {
    ASSERT_EQ(channel.Search(), PsSearchResult::Started);
    const auto sent = Clock::now();
    EXPECT_FALSE(channel.IsIdle());
    // Ended by the quiet 500 ms, long before the search's own limit.
    ASSERT_TRUE(channel.WaitIdle(PS_SEARCH_LIMIT / 2));
    EXPECT_GE(MsSince(sent), 400);
    DiscoveryRecord r;
    EXPECT_FALSE(channel.PopAnswer(r));
}

TEST_F(PrintServerChannelTest, EveryAnswerIsQueuedInArrivalOrderAlsoRepeatedOnes) {
    AddServer(0);
    AddServer(1);
    net.Update(0, [](auto& s) { s.answerDelay = 150ms; });
    net.Update(1, [](auto& s) { s.searchAnswers = 2; });
    const auto found = SearchAll(channel);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0], Record(1));
    EXPECT_EQ(found[1], Record(1));
    EXPECT_EQ(found[2], Record(0));
    EXPECT_EQ(found[2].MacText(), "02:50:53:00:00:00");
    EXPECT_EQ(found[2].IpText(), "127.0.1.1");
    EXPECT_EQ(found[2].FirmwareText(), "300");
    EXPECT_EQ(found[2].DeviceName(), "PS-0");
}

TEST_F(PrintServerChannelTest, SearchLastsUntilNothingArrivesFor500ms) {
    AddServer(0);
    AddServer(1);
    AddServer(2);
    // 350 ms keeps the search open, so 700 ms is still heard; 1400 ms is not.
    net.Update(0, [](auto& s) { s.answerDelay = 350ms; });
    net.Update(1, [](auto& s) { s.answerDelay = 700ms; });
    net.Update(2, [](auto& s) { s.answerDelay = 1400ms; });
    const auto found = SearchAll(channel);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], Record(0));
    EXPECT_EQ(found[1], Record(1));
}

TEST_F(PrintServerChannelTest, SearchEndsAndTheQueueStaysBoundedWhileADeviceKeepsAnswering) {
    EndlessResponder endless(net.Port());
    ASSERT_TRUE(endless.Bound());
    ASSERT_EQ(channel.Search(), PsSearchResult::Started);
    // Nobody takes the answers meanwhile.
    ASSERT_TRUE(channel.WaitIdle(PS_SEARCH_LIMIT + 20s));
    const long sentWhileSearching = endless.Sent();
    EXPECT_GT(sentWhileSearching, static_cast<long>(PS_QUEUE_LIMIT));
    std::size_t queued = 0;
    DiscoveryRecord r;
    while (channel.PopAnswer(r)) {
        ++queued;
        EXPECT_TRUE(std::equal(r.bytes.begin(), r.bytes.end(), EndlessResponder::RECORD)) << queued;
    }
    EXPECT_EQ(queued, 4096u);
    EXPECT_EQ(r.DeviceName(), "ENDLESS");
    // The device answers on; the channel is free for the next exchange all the same.
    EXPECT_EQ(channel.Search(), PsSearchResult::Started);
}

TEST_F(PrintServerChannelTest, SilentPrintServerIsNotListed) {
    AddServer(0);
    AddServer(1);
    net.Update(0, [](auto& s) { s.searchAnswers = 0; });
    const auto found = SearchAll(channel);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], Record(1));
}

TEST_F(PrintServerChannelTest, SeventeenByteNameWithoutTerminatorIsReadWhole) {
    AddServer(0);
    AddServer(1);
    net.Update(0, [](auto& s) { s.deviceName = "ABCDEFGHIJKLMNOPQ"; });
    net.Update(1, [](auto& s) { s.answerDelay = 50ms; });
    const auto found = SearchAll(channel);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].DeviceName(), "ABCDEFGHIJKLMNOPQ");
    EXPECT_EQ(found[0].MacText(), "02:50:53:00:00:00");
    EXPECT_EQ(found[1].DeviceName(), "PS-1");
    EXPECT_EQ(found[1].FirmwareText(), "301");
}

TEST_F(PrintServerChannelTest, DatagramsOfOtherSizesAreNotAnswers) {
    AddServer(0);
    Bytes stray36(36, 0x20);
    net.Update(0, [&](auto& s) {
        s.noiseBeforeSearchAnswer = {Bytes{},         Bytes(1, 0xFF),     Bytes(35, 0x41),
                                     Bytes(37, 0x42), Bytes(65507, 0x43), stray36};
        s.noiseGap = 20ms;
    });
    const auto found = SearchAll(channel);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_TRUE(std::equal(stray36.begin(), stray36.end(), found[0].bytes.begin()));
    EXPECT_EQ(found[1], Record(0));
}

TEST_F(PrintServerChannelTest, FloodOfRandomDatagramsThenAValidAnswer) {
    AddServer(0);
    std::mt19937 random(1901);
    std::vector<Bytes> flood(10000);
    std::vector<Bytes> records; // the flood's own 36-byte datagrams are answers too
    for (auto& d : flood) {
        const std::size_t size = random() % 4 == 0 ? 36 : random() % 2000;
        d.resize(size);
        for (auto& b : d)
            b = static_cast<std::uint8_t>(random());
        if (size == 36) records.push_back(d);
    }
    net.Update(0, [&](auto& s) {
        s.noiseBeforeSearchAnswer = flood;
        s.noiseGap = 300ms;
    });
    const auto found = SearchAll(channel);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found.back(), Record(0));
    EXPECT_EQ(found.back().DeviceName(), "PS-0");
    for (std::size_t i = 0; i + 1 < found.size(); ++i) {
        const Bytes got(found[i].bytes.begin(), found[i].bytes.end());
        EXPECT_NE(std::find(records.begin(), records.end(), got), records.end()) << "record " << i;
    }
    // The channel still works normally afterwards.
    EXPECT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Ok);
}

TEST_F(PrintServerChannelTest, SearchClearsTheQueueAndTheConfigurationReadFlag) {
    AddServer(0);
    net.Update(0, [](auto& s) { s.searchAnswers = 2; });
    ASSERT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Ok);
    ASSERT_EQ(channel.Search(), PsSearchResult::Started);
    ASSERT_TRUE(channel.WaitIdle(3s));
    EXPECT_FALSE(channel.ConfigRead());
    EXPECT_EQ(channel.WriteBlock(PS_CMD_WRITE_A), PsWriteResult::NotRead);
    // Leave one answer behind; the next search starts from an empty queue.
    DiscoveryRecord r;
    ASSERT_TRUE(channel.PopAnswer(r));
    net.Update(0, [](auto& s) { s.searchAnswers = 0; });
    ASSERT_EQ(channel.Search(), PsSearchResult::Started);
    ASSERT_TRUE(channel.WaitIdle(3s));
    EXPECT_FALSE(channel.PopAnswer(r));
}

TEST(PrintServerChannelDefaultPort, SearchesOnUdp1901) {
    sim::PrintServerSim net; // port 1901
    net.Add(sim::MakePrintServer(7));
    PrintServerChannel channel;
    EXPECT_EQ(channel.Port(), 1901);
    const auto found = SearchAll(channel);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].DeviceName(), "PS-7");
}

// ---- one exchange at a time ----

TEST_F(PrintServerChannelTest, SearchDuringAReadReturnsBusyAndSendsNothing) {
    AddServer(0);
    net.Update(0, [](auto& s) { s.answerDelay = 300ms; });
    auto read = std::async(std::launch::async, [&] { return channel.ReadConfig(Record(0)); });
    ASSERT_TRUE(net.WaitForFrames(1, 2s));
    EXPECT_FALSE(channel.IsIdle());
    EXPECT_EQ(channel.Search(), PsSearchResult::Busy);
    EXPECT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Busy);
    EXPECT_EQ(channel.WriteBlock(PS_CMD_WRITE_A), PsWriteResult::Busy);
    EXPECT_EQ(channel.Apply(Record(0)), PsApplyResult::Busy);
    EXPECT_EQ(read.get(), PsReadResult::Ok);
    EXPECT_TRUE(channel.IsIdle());
    std::this_thread::sleep_for(100ms);
    const auto frames = net.Frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][2], PS_CMD_READ_CONFIG);
}

TEST_F(PrintServerChannelTest, OperationsDuringASearchAreBusy) {
    AddServer(0);
    ASSERT_EQ(channel.Search(), PsSearchResult::Started);
    EXPECT_EQ(channel.Search(), PsSearchResult::Busy);
    EXPECT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Busy);
    ASSERT_TRUE(channel.WaitIdle(3s));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(net.Frames().size(), 1u);
}

TEST_F(PrintServerChannelTest, SimultaneousStartsLetExactlyOneRun) {
    AddServer(0);
    net.Update(0, [](auto& s) { s.answerDelay = 200ms; });
    const DiscoveryRecord target = Record(0);
    std::vector<std::future<PsReadResult>> reads;
    std::promise<void> go;
    std::shared_future<void> start = go.get_future().share();
    for (int i = 0; i < 6; ++i)
        reads.push_back(std::async(std::launch::async, [&, start] {
            start.wait();
            return channel.ReadConfig(target);
        }));
    go.set_value();
    int ok = 0, busy = 0;
    for (auto& r : reads) {
        const PsReadResult result = r.get();
        ok += result == PsReadResult::Ok;
        busy += result == PsReadResult::Busy;
    }
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(busy, 5);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(net.Frames().size(), 1u);
}

// ---- read ----

TEST_F(PrintServerChannelTest, ReadTakesTheWholeImage) {
    AddServer(0);
    AddServer(1);
    ASSERT_EQ(channel.ReadConfig(Record(1)), PsReadResult::Ok);
    EXPECT_TRUE(channel.ConfigRead());
    EXPECT_EQ(Concat(channel.Image()), Image(net.Server(1)));
    EXPECT_EQ(channel.Image().IpAddress(), (Ipv4Octets{127, 0, 1, 2}));
    EXPECT_EQ(channel.Image().PrintPort(), 9100);
    EXPECT_EQ(channel.Image().Mac(), Record(1).Mac());
    // Only the addressed print server took the frame.
    EXPECT_TRUE(net.FramesFor(0).empty());
    ASSERT_EQ(net.FramesFor(1).size(), 1u);
    // FF, N 0x13, command 03, MAC, "tulvo" 00 twice, checksum of everything after FF.
    EXPECT_EQ(net.FramesFor(1)[0], (Bytes{0xFF, 0x13, 0x03, 0x02, 0x50, 0x53, 0x00, 0x00, 0x01, 0x74, 0x75,
                                          0x6C, 0x76, 0x6F, 0x00, 0x74, 0x75, 0x6C, 0x76, 0x6F, 0x00, 0x30}));
    EXPECT_EQ(net.Malformed(), 0u);
}

TEST_F(PrintServerChannelTest, Read190BytesFillsABAndPartOfCAndKeepsD) {
    AddServer(0);
    net.Update(0, [](auto& s) { s.readAnswerSize = 190; });
    channel.Image().blockC.fill(0xEE);
    channel.Image().blockD.fill(0xDD);
    ASSERT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Ok);
    const Bytes image = Image(net.Server(0));
    const auto& got = channel.Image();
    EXPECT_TRUE(std::equal(got.blockA.begin(), got.blockA.end(), image.begin()));
    EXPECT_TRUE(std::equal(got.blockB.begin(), got.blockB.end(), image.begin() + 67));
    EXPECT_TRUE(std::equal(got.blockC.begin(), got.blockC.begin() + 60, image.begin() + 130));
    EXPECT_EQ(Bytes(got.blockC.begin() + 60, got.blockC.end()), Bytes(3, 0));
    EXPECT_EQ(Bytes(got.blockD.begin(), got.blockD.end()), Bytes(63, 0xDD));
}

TEST_F(PrintServerChannelTest, OverlongReadAnswerIsCutAtTheImage) {
    AddServer(0);
    net.Update(0, [](auto& s) { s.readAnswerSize = 1000; });
    ASSERT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Ok);
    EXPECT_EQ(Concat(channel.Image()), Image(net.Server(0)));
}

TEST_F(PrintServerChannelTest, ReadWithoutAnswerReturns3AndForgetsTheRead) {
    AddServer(0);
    ASSERT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Ok);
    net.Update(0, [](auto& s) { s.answerCommands = false; });
    const auto start = Clock::now();
    EXPECT_EQ(channel.ReadConfig(Record(0)), PsReadResult::NoAnswer);
    EXPECT_GE(MsSince(start), 400);
    EXPECT_TRUE(channel.IsIdle());
    EXPECT_FALSE(channel.ConfigRead());
    EXPECT_EQ(channel.WriteBlock(PS_CMD_WRITE_A), PsWriteResult::NotRead);
}

TEST_F(PrintServerChannelTest, ReadOfAnUnknownMacGetsNoAnswer) {
    AddServer(0);
    sim::VirtualPrintServer absent = sim::MakePrintServer(9);
    EXPECT_EQ(channel.ReadConfig(RecordOf(absent)), PsReadResult::NoAnswer);
    EXPECT_EQ(net.Frames().size(), 1u);
    EXPECT_TRUE(net.FramesFor(0).empty());
}

TEST_F(PrintServerChannelTest, EmptyDatagramAsAnswerLeavesTheChannelUsable) {
    AddServer(0);
    net.Update(0, [](auto& s) { s.answerInstead[PS_CMD_READ_CONFIG] = Bytes{}; });
    EXPECT_EQ(channel.ReadConfig(Record(0)), PsReadResult::NoAnswer);
    EXPECT_TRUE(channel.IsIdle());
    net.Update(0, [](auto& s) { s.answerInstead.clear(); });
    EXPECT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Ok);
}

// ---- write and apply ----

TEST_F(PrintServerChannelTest, WriteAndApplyBeforeAReadReturn4AndSendNothing) {
    AddServer(0);
    EXPECT_EQ(channel.WriteBlock(PS_CMD_WRITE_A), PsWriteResult::NotRead);
    EXPECT_EQ(channel.WriteBlock(PS_CMD_WRITE_B), PsWriteResult::NotRead);
    EXPECT_EQ(channel.Apply(Record(0)), PsApplyResult::NotRead);
    EXPECT_TRUE(channel.IsIdle());
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(net.Frames().empty());
}

TEST_F(PrintServerChannelTest, WriteSendsTheEditedBlocksAndIsAcknowledged) {
    AddServer(0);
    ASSERT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Ok);
    channel.Image().SetGateway({127, 0, 0, 254});
    channel.Image().SetPrintPort(9101);
    EXPECT_EQ(channel.WriteBlock(PS_CMD_WRITE_A), PsWriteResult::Acknowledged);
    EXPECT_EQ(channel.WriteBlock(PS_CMD_WRITE_B), PsWriteResult::Acknowledged);
    const auto frames = net.FramesFor(0);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[1].size(), 89u);
    EXPECT_EQ(frames[2].size(), 85u);
    EXPECT_EQ(net.Malformed(), 0u);
    // As the print server reads them: block A at 21-87, block B at 21-83.
    const auto writeA = sim::ps::DecodeFrame(frames[1]);
    const auto writeB = sim::ps::DecodeFrame(frames[2]);
    ASSERT_TRUE(writeA && writeB);
    EXPECT_EQ(writeA->command, 0x05);
    EXPECT_EQ(writeB->command, 0x06);
    EXPECT_EQ(Bytes(writeA->data.begin() + 13, writeA->data.begin() + 17), (Bytes{254, 0, 0, 127}));
    EXPECT_EQ(Bytes(writeB->data.begin() + 12, writeB->data.begin() + 14), (Bytes{0x8D, 0x23}));
    // The print server now holds the edited image; C and D were carried unchanged.
    ConfigImage expected = channel.Image();
    EXPECT_EQ(Image(net.Server(0)), Concat(expected));
    EXPECT_EQ(expected.Gateway(), (Ipv4Octets{127, 0, 0, 254}));
    EXPECT_EQ(expected.PrintPort(), 9101);
}

TEST_F(PrintServerChannelTest, WriteGoesToTheMacHeldInBlockA) {
    AddServer(0);
    AddServer(1);
    ASSERT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Ok);
    const MacAddress other = Record(1).Mac();
    std::copy(other.begin(), other.end(), channel.Image().blockA.begin() + ConfigImage::MAC_OFFSET);
    EXPECT_EQ(channel.WriteBlock(PS_CMD_WRITE_B), PsWriteResult::Acknowledged);
    EXPECT_EQ(net.FramesFor(0).size(), 1u); // only the read
    ASSERT_EQ(net.FramesFor(1).size(), 1u);
    EXPECT_EQ(net.FramesFor(1)[0][2], PS_CMD_WRITE_B);
}

TEST_F(PrintServerChannelTest, AcknowledgementOfAnotherCommandIsNotAcknowledgement) {
    AddServer(0);
    ASSERT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Ok);
    net.Update(0, [](auto& s) {
        s.answerInstead[PS_CMD_WRITE_B] = {0xFF, 0x01, 0x05, 0x4B};
        s.answerInstead[PS_CMD_WRITE_A] = {0xFF}; // a cut acknowledgement
        s.answerInstead[PS_CMD_APPLY] = {0xFF, 0x01, 0x05, 0x4B};
    });
    EXPECT_EQ(channel.WriteBlock(PS_CMD_WRITE_B), PsWriteResult::NotAcknowledged);
    EXPECT_EQ(channel.WriteBlock(PS_CMD_WRITE_A), PsWriteResult::NotAcknowledged);
    EXPECT_EQ(channel.Apply(Record(0)), PsApplyResult::OtherAnswer);
    EXPECT_TRUE(channel.IsIdle());
}

TEST_F(PrintServerChannelTest, WriteAndApplyWithoutAnswerReturn3) {
    AddServer(0);
    ASSERT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Ok);
    net.Update(0, [](auto& s) { s.answerCommands = false; });
    EXPECT_EQ(channel.WriteBlock(PS_CMD_WRITE_A), PsWriteResult::NoAnswer);
    EXPECT_TRUE(channel.IsIdle());
    EXPECT_EQ(channel.Apply(Record(0)), PsApplyResult::NoAnswer);
    EXPECT_TRUE(channel.IsIdle());
    EXPECT_TRUE(channel.ConfigRead()); // only a read or a search forgets it
}

TEST_F(PrintServerChannelTest, OtherCommandCodesAreNotWritten) {
    AddServer(0);
    ASSERT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Ok);
    EXPECT_EQ(channel.WriteBlock(PS_CMD_APPLY), PsWriteResult::SendFailed);
    EXPECT_EQ(channel.WriteBlock(PS_CMD_READ_CONFIG), PsWriteResult::SendFailed);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(net.Frames().size(), 1u);
}

TEST_F(PrintServerChannelTest, ApplyMovesThePrintServerToTheNewAddress) {
    AddServer(0);
    const DiscoveryRecord before = Record(0);
    ASSERT_EQ(channel.ReadConfig(before), PsReadResult::Ok);
    channel.Image().SetIpAddress({127, 0, 2, 50});
    ASSERT_EQ(channel.WriteBlock(PS_CMD_WRITE_A), PsWriteResult::Acknowledged);
    ASSERT_EQ(channel.Apply(before), PsApplyResult::Acknowledged);
    const auto frames = net.FramesFor(0);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[2], (Bytes{0xFF, 0x13, 0x04, 0x02, 0x50, 0x53, 0x00, 0x00, 0x00, 0x74, 0x75,
                                0x6C, 0x76, 0x6F, 0x00, 0x74, 0x75, 0x6C, 0x76, 0x6F, 0x00, 0x30}));
    const auto found = SearchAll(channel);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].IpText(), "127.0.2.50");
    EXPECT_EQ(found[0].Mac(), before.Mac());
}

TEST_F(PrintServerChannelTest, SimulatorStateShowsTheAppliedAddress) {
    AddServer(0);
    ASSERT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Ok);
    channel.Image().SetIpAddress({127, 0, 2, 51});
    ASSERT_EQ(channel.WriteBlock(PS_CMD_WRITE_A), PsWriteResult::Acknowledged);
    ASSERT_EQ(channel.Apply(Record(0)), PsApplyResult::Acknowledged);
    EXPECT_EQ(net.StateJson(), "{\"port\":" + std::to_string(net.Port()) +
                                   ",\"print_servers\":[{\"mac\":\"02:50:53:00:00:00\",\"ip\":\"127.0.2.51\","
                                   "\"firmware\":300,\"name\":\"PS-0\",\"dhcp\":false,\"frames\":3}],"
                                   "\"malformed_frames\":0}");
}

TEST_F(PrintServerChannelTest, DhcpWithoutLeaseComesBackAsZeroAddress) {
    AddServer(0);
    AddServer(1);
    net.Update(1, [](auto& s) { s.dhcpLease = sim::Ipv4{127, 0, 3, 9}; });
    for (std::size_t i : {0u, 1u}) {
        ASSERT_EQ(channel.ReadConfig(Record(i)), PsReadResult::Ok);
        channel.Image().SetDhcpFlag(ConfigImage::DHCP_ON);
        ASSERT_EQ(channel.WriteBlock(PS_CMD_WRITE_A), PsWriteResult::Acknowledged);
        ASSERT_EQ(channel.Apply(Record(i)), PsApplyResult::Acknowledged);
    }
    auto found = SearchAll(channel);
    ASSERT_EQ(found.size(), 2u);
    std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.MacText() < b.MacText(); });
    EXPECT_EQ(found[0].IpText(), "0.0.0.0");
    EXPECT_EQ(found[1].IpText(), "127.0.3.9");
}

// ---- failures and shutdown ----

TEST_F(PrintServerChannelTest, UnusableBroadcastAddressFailsEveryOperation) {
    AddServer(0);
    ASSERT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Ok);
    {
        test::ScopedEnv bad("PEMBERLUX_BROADCAST_ADDR", "not-an-address");
        EXPECT_EQ(channel.WriteBlock(PS_CMD_WRITE_A), PsWriteResult::NoAnswer);
        EXPECT_EQ(channel.Apply(Record(0)), PsApplyResult::SendFailed);
        EXPECT_EQ(channel.Search(), PsSearchResult::Failed);
        EXPECT_TRUE(channel.ConfigRead()); // the failed search did not start
        EXPECT_EQ(channel.ReadConfig(Record(0)), PsReadResult::SendFailed);
        EXPECT_FALSE(channel.ConfigRead());
        EXPECT_TRUE(channel.IsIdle());
    }
    EXPECT_EQ(net.Frames().size(), 1u);
    EXPECT_EQ(channel.ReadConfig(Record(0)), PsReadResult::Ok);
}

TEST_F(PrintServerChannelTest, DestroyingTheChannelDuringASearchEndsTheReceiver) {
    AddServer(0);
    std::vector<Bytes> flood(3000, Bytes(36, 0x5A));
    net.Update(0, [&](auto& s) {
        s.noiseBeforeSearchAnswer = flood;
        s.noiseGap = 2000ms;
    });
    auto doomed = std::make_unique<PrintServerChannel>(net.Port());
    EndlessResponder endless(net.Port()); // without an end, the search would run for its whole limit
    ASSERT_TRUE(endless.Bound());
    ASSERT_EQ(doomed->Search(), PsSearchResult::Started);
    ASSERT_TRUE(doomed->WaitAnswerOrIdle(2s));
    EXPECT_FALSE(doomed->IsIdle());
    auto destroyed = std::async(std::launch::async, [&] { doomed.reset(); });
    EXPECT_EQ(destroyed.wait_for(PS_SEARCH_LIMIT / 2), std::future_status::ready);
}

TEST_F(PrintServerChannelTest, DestroyingTheChannelRightAfterAnySearchIsClean) {
    AddServer(0);
    for (int i = 0; i < 20; ++i) {
        PrintServerChannel shortLived(net.Port());
        ASSERT_EQ(shortLived.Search(), PsSearchResult::Started);
        if (i % 2) std::this_thread::sleep_for(std::chrono::milliseconds(i));
    }
    EXPECT_TRUE(net.WaitForFrames(20, 2s));
}
