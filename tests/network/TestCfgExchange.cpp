// Search, query and set over real UDP sockets on the loopback broadcast, against
// simulated key-value printers, with the test in the search dialog's place.
#include "CfgTestSupport.h"
#include "KvPrinterSim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;
using sim::KvPrinterFleet;
using sim::KvPrinterOptions;
using sim::KvPrinterSim;
using test::CfgOwner;

std::size_t CountOfSize(const std::vector<sim::Bytes>& datagrams, std::size_t size) {
    return static_cast<std::size_t>(
        std::count_if(datagrams.begin(), datagrams.end(), [&](const auto& d) { return d.size() == size; }));
}

class CfgExchangeTest : public ::testing::Test {
protected:
    std::uint16_t port = test::FreeUdpPort();
};

TEST_F(CfgExchangeTest, OwnSearchBroadcastIsNotTakenForAReply) {
    CfgOwner owner(port);
    ASSERT_TRUE(owner.opened);
    const double seconds = owner.SearchToEnd();
    // The receiving socket got the 21-byte request itself, and nothing came of it.
    const std::vector<int> sizes = owner.pump->Sizes();
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), 21), sizes.end());
    EXPECT_EQ(owner.seen.listChanges, 0);
    EXPECT_TRUE(owner.seen.timedOut);
    // The search lasts until the elapsed whole seconds exceed three.
    EXPECT_GE(seconds, 3.9);
    EXPECT_LT(seconds, 6.0);
    EXPECT_FALSE(owner.session.Busy());
}

TEST_F(CfgExchangeTest, SearchListsEveryPrinterOnceWithItsValues) {
    KvPrinterOptions twice;
    twice.answerTwice = true;
    KvPrinterFleet fleet(3, port, twice);
    ASSERT_TRUE(fleet.Listening());
    CfgOwner owner(port);
    ASSERT_EQ(owner.session.StartSearch(), CfgStart::Started);
    std::size_t mostRows = 0;
    ASSERT_TRUE(owner.TickUntil(
        [&] {
            mostRows = std::max(mostRows, owner.seen.rows.size());
            std::size_t replies = 0;
            for (std::size_t i = 0; i < fleet.Size(); ++i)
                replies += fleet[i].RepliesSent();
            return replies == 6 && owner.seen.rows.size() == 3;
        },
        3s));
    owner.TickUntil([] { return false; }, 100ms);
    EXPECT_EQ(mostRows, 3u);
    EXPECT_EQ(owner.seen.rows.size(), 3u);

    std::set<std::string> serials;
    for (const FoundPrinter& row : owner.seen.rows) {
        serials.insert(row.serialNumber);
        EXPECT_EQ(row.firmwareVersion, "V1.16.0");
        EXPECT_EQ(row.ipInUse, "127.0.0.1");
    }
    for (std::size_t i = 0; i < fleet.Size(); ++i) {
        EXPECT_TRUE(serials.count(fleet[i].Config().serialNumber));
        const auto requests = fleet[i].Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0], BuildSearchRequest());
    }
    const auto row = std::find_if(owner.seen.rows.begin(), owner.seen.rows.end(),
                                  [&](const FoundPrinter& r) { return r.mac == fleet[1].Config().mac; });
    ASSERT_NE(row, owner.seen.rows.end());
    EXPECT_EQ(row->deviceName, "LB-710");
    EXPECT_EQ(row->serialNumber, fleet[1].Config().serialNumber);
}

TEST_F(CfgExchangeTest, TwoPrintersWithOneSerialNumberGiveOneRowWithTheLaterValues) {
    sim::KvPrinterConfig first = sim::NumberedKvPrinter(0);
    sim::KvPrinterConfig second = sim::NumberedKvPrinter(1);
    second.serialNumber = first.serialNumber;
    KvPrinterSim early(first, {}, port);
    KvPrinterOptions late;
    late.replyDelay = 400ms;
    KvPrinterSim later(second, late, port);

    CfgOwner owner(port);
    ASSERT_EQ(owner.session.StartSearch(), CfgStart::Started);
    std::size_t mostRows = 0;
    const bool rewritten = owner.TickUntil(
        [&] {
            mostRows = std::max(mostRows, owner.seen.rows.size());
            return !owner.seen.rows.empty() && owner.seen.rows[0].mac == second.mac;
        },
        3s);
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(mostRows, 1u);
    ASSERT_EQ(owner.seen.rows.size(), 1u);
    EXPECT_EQ(owner.seen.rows[0].deviceName, "LB-710");
    EXPECT_GE(owner.seen.listChanges, 2);
}

TEST_F(CfgExchangeTest, ElevenPrintersListTenAndEndTheSearchEarly) {
    KvPrinterFleet fleet(11, port);
    ASSERT_TRUE(fleet.Listening());
    CfgOwner owner(port);
    const double seconds = owner.SearchToEnd();
    ASSERT_GT(seconds, 0);
    EXPECT_LT(seconds, 3.0);
    EXPECT_FALSE(owner.seen.timedOut);
    ASSERT_EQ(owner.seen.rows.size(), MAX_FOUND_PRINTERS);
    std::set<std::string> macs;
    for (const FoundPrinter& row : owner.seen.rows)
        macs.insert(row.mac);
    EXPECT_EQ(macs.size(), MAX_FOUND_PRINTERS);
}

TEST_F(CfgExchangeTest, RepliesWithAnUnknownKeyOrUnpaddedValuesAreIgnored) {
    KvPrinterOptions unknownKey;
    unknownKey.unknownKey = true;
    KvPrinterOptions unpadded;
    unpadded.unpadded = true;
    KvPrinterSim withUnknownKey(sim::NumberedKvPrinter(0), unknownKey, port);
    KvPrinterSim withUnpadded(sim::NumberedKvPrinter(1), unpadded, port);
    KvPrinterSim good(sim::NumberedKvPrinter(2), {}, port);

    CfgOwner owner(port);
    ASSERT_GT(owner.SearchToEnd(), 0);
    EXPECT_EQ(withUnknownKey.RepliesSent(), 1u);
    EXPECT_EQ(withUnpadded.RepliesSent(), 1u);
    ASSERT_EQ(owner.seen.rows.size(), 1u);
    EXPECT_EQ(owner.seen.rows[0].mac, good.Config().mac);
}

TEST_F(CfgExchangeTest, ReplyWithoutEndLineDoesNotHoldTheSearchPastItsTimeOut) {
    KvPrinterOptions cut;
    cut.noEndLine = true;
    KvPrinterSim printer(sim::NumberedKvPrinter(0), cut, port);
    CfgOwner owner(port);
    const double seconds = owner.SearchToEnd(10s);
    EXPECT_EQ(printer.RepliesSent(), 1u);
    EXPECT_GE(seconds, 3.9);
    EXPECT_LT(seconds, 6.0);
    EXPECT_TRUE(owner.seen.rows.empty());
}

TEST_F(CfgExchangeTest, QueryTakesTheSelectedPrintersAnswer) {
    KvPrinterFleet fleet(3, port);
    CfgOwner owner(port);
    const sim::KvPrinterConfig selected = fleet[1].Config();
    ASSERT_EQ(owner.session.StartQuery(selected.mac, selected.serialNumber), CfgStart::Started);
    ASSERT_TRUE(owner.TickUntil([&] { return owner.seen.ended; }, 6s));
    ASSERT_TRUE(owner.seen.answered);
    EXPECT_TRUE(owner.seen.answer.queryComplete);
    EXPECT_EQ(owner.seen.answer.monitorPort, 9100);
    EXPECT_EQ(owner.seen.answer.queried.mac, selected.mac);
    EXPECT_EQ(owner.seen.answer.queried.serialNumber, selected.serialNumber);
    EXPECT_EQ(owner.seen.answer.queried.deviceName, "LB-710");
    EXPECT_TRUE(owner.session.Confirmed());
    {
        std::lock_guard lock(CfgTablesMutex());
        EXPECT_EQ(FindField(ReceivedFields, "SUBNET_MASK")->Value(), "255.0.0.0");
    }
    for (std::size_t i = 0; i < fleet.Size(); ++i) {
        const auto requests = fleet[i].Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0], BuildQueryRequest(selected.mac, selected.serialNumber));
        EXPECT_EQ(fleet[i].RepliesSent(), i == 1 ? 1u : 0u);
    }
}

TEST_F(CfgExchangeTest, QueryAnsweredByAnotherPrinterIsIgnoredUntilTheTimeOut) {
    KvPrinterOptions anyQuery;
    anyQuery.answerAnyQuery = true;
    KvPrinterSim other(sim::NumberedKvPrinter(4), anyQuery, port);
    CfgOwner owner(port);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(owner.session.StartQuery("00A0D1000001", "TVL610000001"), CfgStart::Started);
    owner.session.MarkPendingOpen(); // a double click on the row
    ASSERT_TRUE(owner.TickUntil([&] { return owner.seen.openSetup; }, 8s));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(other.RepliesSent(), 1u);
    EXPECT_FALSE(owner.seen.answered);
    EXPECT_TRUE(owner.seen.timedOut);
    EXPECT_TRUE(owner.seen.ended);
    EXPECT_GE(seconds, 3.9);
    // Nothing of the other printer's answer is left for the configuration dialog.
    std::lock_guard lock(CfgTablesMutex());
    EXPECT_EQ(FieldCount(ReceivedFields), 0u);
    EXPECT_EQ(QueriedPrinter, FoundPrinter{});
}

TEST_F(CfgExchangeTest, DoubleClickOpensTheConfigurationOnceTheQueryIsAnswered) {
    KvPrinterSim printer(sim::NumberedKvPrinter(0), {}, port);
    CfgOwner owner(port);
    const auto config = printer.Config();
    ASSERT_EQ(owner.session.StartQuery(config.mac, config.serialNumber), CfgStart::Started);
    owner.session.MarkPendingOpen();
    ASSERT_TRUE(owner.TickUntil([&] { return owner.seen.openSetup; }, 3s));
    EXPECT_TRUE(owner.seen.answered);
    EXPECT_FALSE(owner.session.Confirmed());
}

TEST_F(CfgExchangeTest, OnlyOneExchangeAtATime) {
    KvPrinterFleet fleet(2, port);
    CfgOwner owner(port);
    ASSERT_EQ(owner.session.StartSearch(), CfgStart::Started);
    EXPECT_EQ(owner.session.StartSearch(), CfgStart::Busy);
    EXPECT_EQ(owner.session.StartQuery(fleet[0].Config().mac, fleet[0].Config().serialNumber), CfgStart::Busy);
    EXPECT_EQ(owner.session.StartSet(fleet[0].Config().mac, fleet[0].Config().serialNumber), CfgStart::Busy);
    ASSERT_TRUE(fleet[0].WaitForRequests(1, 2s));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(fleet[0].Requests().size(), 1u);

    CfgSession second;
    EXPECT_FALSE(second.Open(port)); // the protocol state belongs to the open session
    owner.Close();
    EXPECT_EQ(owner.session.StartSearch(), CfgStart::Closed);
}

TEST_F(CfgExchangeTest, SetIsSentWithTwentyCharacterNameAndConfirmedOnceDhcpGaveAnAddress) {
    sim::KvPrinterConfig config = sim::NumberedKvPrinter(0);
    config.dhcpAddress = "127.0.0.77";
    KvPrinterOptions options;
    options.dhcpDelay = 1500ms;
    KvPrinterSim printer(config, options, port);
    KvPrinterSim bystander(sim::NumberedKvPrinter(1), {}, port);

    CfgTiming timing;
    timing.confirmFirstWait = 300ms;
    timing.confirmSettle = 100ms;
    timing.confirmRetry = 300ms;
    CfgOwner owner(port, timing);

    // The configuration dialog fills the outgoing fields with every key.
    const std::string values[] = {"Warehouse label desk 4",
                                  config.firmwareVersion,
                                  config.serialNumber,
                                  config.mac,
                                  "127.0.0.1",
                                  "1",
                                  "127.0.0.5",
                                  "255.255.255.0",
                                  "127.0.0.1",
                                  "9101",
                                  "45"};
    {
        std::lock_guard lock(CfgTablesMutex());
        ClearFields(OutgoingFields);
        for (std::size_t i = 0; i < CFG_KEYS.size(); ++i)
            SetField(OutgoingFields, i, CFG_KEYS[i].name, values[i]);
    }
    ASSERT_EQ(owner.session.StartSet(config.mac, config.serialNumber), CfgStart::Started);
    std::atomic<bool> done{false};
    CfgSetOutcome outcome;
    std::thread worker([&] {
        outcome = owner.session.RunSetConfirmation();
        done = true;
    });
    bool busyThroughout = true;
    const bool finished = owner.TickUntil(
        [&] {
            if (!done) busyThroughout &= owner.session.Busy();
            return done.load();
        },
        20s, 100ms);
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(busyThroughout);
    EXPECT_FALSE(owner.session.Busy());
    EXPECT_TRUE(outcome.confirmed);
    EXPECT_EQ(outcome.ipInUse, "127.0.0.77");
    EXPECT_EQ(outcome.monitorPort, 9101);

    // On the wire: the 289-byte set, then queries of 76 bytes until DHCP gave an address.
    const auto requests = printer.Requests();
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(requests[0].size(), 289u);
    EXPECT_GE(CountOfSize(requests, 76), 2u);
    const std::string set(requests[0].begin(), requests[0].end());
    EXPECT_NE(set.find("DEV = Warehouse label desk\r\n"), std::string::npos);
    EXPECT_EQ(set.find("Warehouse label desk "), std::string::npos);

    EXPECT_EQ(printer.SetsApplied(), 1);
    EXPECT_EQ(bystander.SetsApplied(), 0);
    const sim::KvPrinterConfig now = printer.Config();
    EXPECT_TRUE(now.dhcp);
    EXPECT_EQ(now.ip, "127.0.0.5");
    EXPECT_EQ(now.subnetMask, "255.255.255.0");
    EXPECT_EQ(now.printPort, 9101);
    EXPECT_EQ(now.printTimeout, 45);
    EXPECT_EQ(FindField(printer.LastSet(), "DEV")->Value(), "Warehouse label desk");
}

TEST_F(CfgExchangeTest, FloodOfRandomDatagramsThenAValidReplyIsStillUnderstood) {
    CfgOwner owner(port);
    test::RawSender sender(port);
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> size(1, 3000);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::uint8_t header[] = {0x00, 0x0D, 0xAC, 0x00, 0x0D, 0xAC, 0xFF};

    ASSERT_EQ(owner.session.StartSearch(), CfgStart::Started);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10000; ++i) {
        std::vector<std::uint8_t> datagram(static_cast<std::size_t>(size(random)));
        for (auto& b : datagram)
            b = static_cast<std::uint8_t>(byte(random));
        // Random bytes holding a reply header would be a reply after all.
        auto at = std::search(datagram.begin(), datagram.end(), std::begin(header), std::end(header));
        if (at != datagram.end()) *at = 0x01;
        sender.Send(datagram);
    }
    // Let the socket and the ring drain before the real answer.
    std::size_t lastCount = 0;
    owner.TickUntil(
        [&] {
            const std::size_t count = owner.pump->Count();
            const bool quiet = count == lastCount && CfgReceiveRing().Size() == 0;
            lastCount = count;
            return quiet;
        },
        2s, 50ms);
    ASSERT_LT(std::chrono::steady_clock::now() - start, 3s) << "flood too slow for one search";

    sim::KvPrinterConfig config = sim::NumberedKvPrinter(7);
    KvPrinterOptions silent;
    silent.silent = true;
    const KvPrinterSim builder(config, silent, test::FreeUdpPort());
    ASSERT_TRUE(sender.Send(builder.BuildReply(CFG_CMD_SEARCH)));
    ASSERT_TRUE(owner.TickUntil([&] { return owner.seen.rows.size() == 1; }, 2s));
    EXPECT_EQ(owner.seen.rows[0].mac, config.mac);
    EXPECT_EQ(owner.seen.rows[0].serialNumber, config.serialNumber);
    EXPECT_GT(owner.pump->Count(), 100u);
    ASSERT_TRUE(owner.TickUntil([&] { return owner.seen.ended; }, 5s));
}

TEST_F(CfgExchangeTest, ClosingWhileTheReceiverWaitsEndsItAndReopeningStartsEmpty) {
    KvPrinterOptions cut;
    cut.noEndLine = true;
    KvPrinterSim printer(sim::NumberedKvPrinter(0), cut, port);
    CfgOwner owner(port);
    ASSERT_EQ(owner.session.StartSearch(), CfgStart::Started);
    // The cut reply leaves the receiver waiting for the rest of a body.
    ASSERT_TRUE(owner.TickUntil([&] { return owner.pump->Count() >= 2; }, 2s));
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(owner.session.Busy());
    const auto start = std::chrono::steady_clock::now();
    owner.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_FALSE(owner.session.Busy());
    EXPECT_EQ(owner.session.ReceiveSocket(), -1);
    EXPECT_EQ(CfgExchange.receiverRunning.load(), 0);

    printer.SetOptions({});
    ASSERT_TRUE(owner.session.Open(port));
    {
        std::lock_guard lock(CfgTablesMutex());
        EXPECT_EQ(FoundPrinters.count, 0u);
    }
    owner.pump = std::make_unique<test::CfgPump>(owner.session);
    ASSERT_EQ(owner.session.StartSearch(), CfgStart::Started);
    ASSERT_TRUE(owner.TickUntil([&] { return owner.seen.rows.size() == 1; }, 3s));
    // Closed again mid-search by the owner's destructor.
}

} // namespace
} // namespace pemberlux
