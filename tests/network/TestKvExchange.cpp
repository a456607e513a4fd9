// Search, query and set over real UDP sockets on the loopback broadcast, against
// simulated key-value printers, with the test in the search dialog's place.
#include "KvPrinterSim.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <future>
#include <random>
#include <set>
#include <string>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;
using sim::KvPrinterFleet;
using sim::KvPrinterOptions;
using sim::KvPrinterSim;
using test::KvOwner;

// Header of a request: magic, direction 0x00, the command low byte first.
sim::Bytes Request(std::uint8_t command, const std::string& text) {
    std::string bytes("\x00\x0D\xAC\x00\x0D\xAC\x00", 7);
    bytes += static_cast<char>(command);
    bytes.append(3, '\0');
    bytes += text;
    return sim::Bytes(bytes.begin(), bytes.end());
}

std::size_t CountOfSize(const std::vector<sim::Bytes>& datagrams, std::size_t size) {
    return static_cast<std::size_t>(
        std::count_if(datagrams.begin(), datagrams.end(), [&](const auto& d) { return d.size() == size; }));
}

// Times the process's threads have gone to sleep of their own accord so far.
long VoluntarySleeps() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

class KvExchangeTest : public ::testing::Test {
protected:
    std::uint16_t port = test::FreeUdpPort();
};

TEST_F(KvExchangeTest, OwnSearchBroadcastIsNotTakenForAReply) {
    KvOwner owner(port);
    ASSERT_TRUE(owner.opened);
    const double seconds = owner.SearchToEnd();
    // The receiving socket got the 21-byte request itself, and nothing came of it.
    const std::vector<int> sizes = owner.pump->Sizes();
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), 21), sizes.end());
    EXPECT_EQ(owner.seen.listChanges, 0);
    EXPECT_TRUE(owner.seen.timedOut);
    // The search lasts until the elapsed whole seconds exceed three.
    EXPECT_GE(seconds, 3.9);
    EXPECT_FALSE(owner.session.Busy());
}

TEST_F(KvExchangeTest, SearchOnASilentNetworkSleepsUntilSomethingArrives) {
    KvOwner owner(port);
    ASSERT_EQ(owner.session.StartSearch(), KvStart::Started);
    ASSERT_TRUE(owner.TickUntil([&] { return owner.pump->Count() >= 1; }, 2s)); // the own request
    // Nothing answers and nobody ticks. The receiver sleeps on the ring and the pump on
    // the socket, so a second of waiting wakes the process a few dozen times; polling
    // every millisecond would wake it a thousand times.
    const long before = VoluntarySleeps();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(VoluntarySleeps() - before, 200);
    EXPECT_TRUE(owner.session.Busy());
}

TEST_F(KvExchangeTest, SearchListsEveryPrinterOnceWithItsValues) {
    KvPrinterOptions twice;
    twice.answerTwice = true;
    KvPrinterFleet fleet(3, port, twice);
    ASSERT_TRUE(fleet.Listening());
    KvOwner owner(port);
    ASSERT_EQ(owner.session.StartSearch(), KvStart::Started);
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
        EXPECT_EQ(requests[0], Request(0x01, "*END* = \r\n"));
        EXPECT_EQ(fleet[i].RejectedRequests(), 0u);
    }
    const auto row = std::find_if(owner.seen.rows.begin(), owner.seen.rows.end(),
                                  [&](const FoundPrinter& r) { return r.mac == fleet[1].Config().mac; });
    ASSERT_NE(row, owner.seen.rows.end());
    EXPECT_EQ(row->deviceName, "LB-710");
    EXPECT_EQ(row->serialNumber, fleet[1].Config().serialNumber);
}

TEST_F(KvExchangeTest, TwoPrintersWithOneSerialNumberGiveOneRowWithTheLaterValues) {
    sim::KvPrinterConfig first = sim::NumberedKvPrinter(0);
    sim::KvPrinterConfig second = sim::NumberedKvPrinter(1);
    second.serialNumber = first.serialNumber;
    KvPrinterSim early(first, {}, port);
    KvPrinterOptions late;
    late.replyDelay = 400ms;
    KvPrinterSim later(second, late, port);

    KvOwner owner(port);
    ASSERT_EQ(owner.session.StartSearch(), KvStart::Started);
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

TEST_F(KvExchangeTest, ElevenPrintersListTenAndEndTheSearchEarly) {
    KvPrinterFleet fleet(11, port);
    ASSERT_TRUE(fleet.Listening());
    KvOwner owner(port);
    const double seconds = owner.SearchToEnd();
    ASSERT_GT(seconds, 0);
    EXPECT_FALSE(owner.seen.timedOut); // ended by the full table, not by the time-out
    ASSERT_EQ(owner.seen.rows.size(), MAX_FOUND_PRINTERS);
    std::set<std::string> macs;
    for (const FoundPrinter& row : owner.seen.rows)
        macs.insert(row.mac);
    EXPECT_EQ(macs.size(), MAX_FOUND_PRINTERS);
}

TEST_F(KvExchangeTest, RepliesWithAnUnknownKeyOrUnpaddedValuesAreIgnored) {
    KvPrinterOptions unknownKey;
    unknownKey.unknownKey = true;
    KvPrinterOptions unpadded;
    unpadded.unpadded = true;
    KvPrinterSim withUnknownKey(sim::NumberedKvPrinter(0), unknownKey, port);
    KvPrinterSim withUnpadded(sim::NumberedKvPrinter(1), unpadded, port);
    KvPrinterSim good(sim::NumberedKvPrinter(2), {}, port);

    KvOwner owner(port);
    ASSERT_GT(owner.SearchToEnd(), 0);
    EXPECT_EQ(withUnknownKey.RepliesSent(), 1u);
    EXPECT_EQ(withUnpadded.RepliesSent(), 1u);
    ASSERT_EQ(owner.seen.rows.size(), 1u);
    EXPECT_EQ(owner.seen.rows[0].mac, good.Config().mac);
}

TEST_F(KvExchangeTest, ReplyWithoutEndLineDoesNotHoldTheSearchPastItsTimeOut) {
    KvPrinterOptions cut;
    cut.noEndLine = true;
    KvPrinterSim printer(sim::NumberedKvPrinter(0), cut, port);
    KvOwner owner(port);
    // Waiting for the rest of that body alone would take 100 s.
    const double seconds = owner.SearchToEnd(30s);
    EXPECT_EQ(printer.RepliesSent(), 1u);
    ASSERT_GT(seconds, 0); // it did end
    EXPECT_GE(seconds, 3.9);
    EXPECT_TRUE(owner.seen.timedOut);
    EXPECT_TRUE(owner.seen.rows.empty());
}

TEST_F(KvExchangeTest, QueryTakesTheSelectedPrintersAnswer) {
    KvPrinterFleet fleet(3, port);
    KvOwner owner(port);
    const sim::KvPrinterConfig selected = fleet[1].Config();
    ASSERT_EQ(owner.session.StartQuery(selected.mac, selected.serialNumber), KvStart::Started);
    ASSERT_TRUE(owner.TickUntil([&] { return owner.seen.ended; }, 6s));
    ASSERT_TRUE(owner.seen.answered);
    EXPECT_TRUE(owner.seen.answer.queryComplete);
    EXPECT_EQ(owner.seen.answer.monitorPort, 9100);
    EXPECT_EQ(owner.seen.answer.queried.mac, selected.mac);
    EXPECT_EQ(owner.seen.answer.queried.serialNumber, selected.serialNumber);
    EXPECT_EQ(owner.seen.answer.queried.deviceName, "LB-710");
    EXPECT_TRUE(owner.session.Confirmed());
    {
        std::lock_guard lock(owner.session.Exchange().tables.mutex);
        EXPECT_EQ(FindField(owner.session.Exchange().tables.receivedFields, "SUBNET_MASK")->Value(), "255.0.0.0");
    }
    // Every printer got the broadcast; each counts it (and its reply) once it
    // has handled it, which may be after the program has the answer.
    const auto until = std::chrono::steady_clock::now() + 5s;
    auto handled = [&] {
        for (std::size_t i = 0; i < fleet.Size(); ++i)
            if (fleet[i].Requests().empty() || fleet[i].RepliesSent() < (i == 1 ? 1u : 0u)) return false;
        return true;
    };
    while (!handled() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(5ms);
    for (std::size_t i = 0; i < fleet.Size(); ++i) {
        // The answer may come back before every printer has taken in the broadcast.
        ASSERT_TRUE(fleet[i].WaitForRequests(1, 30s));
        const auto requests = fleet[i].Requests();
        ASSERT_EQ(requests.size(), 1u);
        // MAC 12 wide, SERIAL_NUM 20 wide, padded with spaces.
        EXPECT_EQ(requests[0],
                  Request(0x02, "MAC = 00A0D1000002\r\nSERIAL_NUM = TVL710000002        \r\n*END* = \r\n"));
        EXPECT_EQ(fleet[i].RejectedRequests(), 0u);
        EXPECT_EQ(fleet[i].RepliesSent(), i == 1 ? 1u : 0u);
    }
}

TEST_F(KvExchangeTest, QueryAnsweredByAnotherPrinterIsIgnoredUntilTheTimeOut) {
    KvPrinterOptions anyQuery;
    anyQuery.answerAnyQuery = true;
    KvPrinterSim other(sim::NumberedKvPrinter(4), anyQuery, port);
    KvOwner owner(port);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(owner.session.StartQuery("00A0D1000001", "TVL610000001"), KvStart::Started);
    owner.session.MarkPendingOpen(); // a double click on the row
    ASSERT_TRUE(owner.TickUntil([&] { return owner.seen.openSetup; }, 30s));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(other.RepliesSent(), 1u);
    EXPECT_FALSE(owner.seen.answered);
    EXPECT_TRUE(owner.seen.timedOut);
    EXPECT_TRUE(owner.seen.ended);
    EXPECT_GE(seconds, 3.9);
    // Nothing of the other printer's answer is left for the configuration dialog.
    std::lock_guard lock(owner.session.Exchange().tables.mutex);
    EXPECT_EQ(FieldCount(owner.session.Exchange().tables.receivedFields), 0u);
    EXPECT_EQ(owner.session.Exchange().tables.queriedPrinter, FoundPrinter{});
}

TEST_F(KvExchangeTest, DoubleClickOpensTheConfigurationOnceTheQueryIsAnswered) {
    KvPrinterSim printer(sim::NumberedKvPrinter(0), {}, port);
    KvOwner owner(port);
    const auto config = printer.Config();
    ASSERT_EQ(owner.session.StartQuery(config.mac, config.serialNumber), KvStart::Started);
    owner.session.MarkPendingOpen();
    ASSERT_TRUE(owner.TickUntil([&] { return owner.seen.openSetup; }, 3s));
    EXPECT_TRUE(owner.seen.answered);
    EXPECT_FALSE(owner.session.Confirmed());
}

TEST_F(KvExchangeTest, OnlyOneExchangeAtATime) {
    KvPrinterFleet fleet(2, port);
    KvOwner owner(port);
    ASSERT_EQ(owner.session.StartSearch(), KvStart::Started);
    EXPECT_EQ(owner.session.StartSearch(), KvStart::Busy);
    EXPECT_EQ(owner.session.StartQuery(fleet[0].Config().mac, fleet[0].Config().serialNumber), KvStart::Busy);
    EXPECT_EQ(owner.session.StartSet(fleet[0].Config().mac, fleet[0].Config().serialNumber), KvStart::Busy);
    ASSERT_TRUE(fleet[0].WaitForRequests(1, 2s));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(fleet[0].Requests().size(), 1u);

    KvSession second;
    EXPECT_FALSE(second.Open(port)); // the protocol state belongs to the open session
    owner.Close();
    EXPECT_EQ(owner.session.StartSearch(), KvStart::Closed);
}

TEST_F(KvExchangeTest, SetIsSentWithTwentyCharacterNameAndConfirmedOnceDhcpGaveAnAddress) {
    sim::KvPrinterConfig config = sim::NumberedKvPrinter(0);
    config.dhcpAddress = "127.0.0.77";
    KvPrinterOptions options;
    options.dhcpDelay = 1500ms;
    KvPrinterSim printer(config, options, port);
    KvPrinterSim bystander(sim::NumberedKvPrinter(1), {}, port);

    KvTiming timing;
    timing.confirmFirstWait = 300ms;
    timing.confirmSettle = 100ms;
    timing.confirmRetry = 300ms;
    KvOwner owner(port, timing);

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
        std::lock_guard lock(owner.session.Exchange().tables.mutex);
        ClearFields(owner.session.Exchange().tables.outgoingFields);
        for (std::size_t i = 0; i < KV_KEYS.size(); ++i)
            SetField(owner.session.Exchange().tables.outgoingFields, i, KV_KEYS[i].name, values[i]);
    }
    ASSERT_EQ(owner.session.StartSet(config.mac, config.serialNumber), KvStart::Started);
    std::atomic<bool> done{false};
    KvSetOutcome outcome;
    std::thread worker([&] {
        outcome = owner.session.RunSetConfirmation();
        done = true;
    });
    bool busyThroughout = true;
    const bool finished = owner.TickUntil(
        [&] {
            if (!done && !owner.session.Busy()) {
                // Busy clears just before the run returns: only a gap that the
                // run's end does not follow is a fault.
                const auto until = std::chrono::steady_clock::now() + 5s;
                while (!done && std::chrono::steady_clock::now() < until)
                    std::this_thread::sleep_for(10ms);
                if (!done) busyThroughout = false;
            }
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
    // Every key at its width, in table order; the name cut to 20 characters.
    EXPECT_EQ(requests[0], Request(0x03, "DEV = Warehouse label desk\r\n"
                                         "VER = V1.16.0             \r\n"
                                         "SERIAL_NUM = TVL610000001        \r\n"
                                         "MAC = 00A0D1000001\r\n"
                                         "IP_CUR = 127.0.0.1      \r\n"
                                         "DHCP = 1\r\n"
                                         "IP = 127.0.0.5      \r\n"
                                         "SUBNET_MASK = 255.255.255.0  \r\n"
                                         "GATEWAY = 127.0.0.1      \r\n"
                                         "PRNT_PORT = 9101 \r\n"
                                         "PRNT_RCV_TMO = 45   \r\n"
                                         "*END* = \r\n"));
    EXPECT_EQ(requests[0].size(), 289u);
    EXPECT_GE(CountOfSize(requests, 76), 2u);

    EXPECT_EQ(printer.SetsApplied(), 1);
    EXPECT_EQ(bystander.SetsApplied(), 0);
    const sim::KvPrinterConfig now = printer.Config();
    EXPECT_TRUE(now.dhcp);
    EXPECT_EQ(now.ip, "127.0.0.5");
    EXPECT_EQ(now.subnetMask, "255.255.255.0");
    EXPECT_EQ(now.printPort, 9101);
    EXPECT_EQ(now.printTimeout, 45);
    EXPECT_EQ(sim::kv::Find(printer.LastSet(), "DEV"), "Warehouse label desk");
    EXPECT_EQ(printer.RejectedRequests(), 0u);
}

TEST_F(KvExchangeTest, FloodOfRandomDatagramsThenAValidReplyIsStillUnderstood) {
    KvOwner owner(port);
    test::RawSender sender(port);
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> size(1, 3000);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::uint8_t header[] = {0x00, 0x0D, 0xAC, 0x00, 0x0D, 0xAC, 0xFF};

    ASSERT_EQ(owner.session.StartSearch(), KvStart::Started);
    // However long the flood takes on this machine, the search waits for the real answer.
    owner.session.Exchange().timeoutSeconds = 600;
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
    ASSERT_TRUE(owner.TickUntil(
        [&] {
            const std::size_t count = owner.pump->Count();
            const bool quiet = count == lastCount && owner.session.Exchange().ReceiveRing().Size() == 0;
            lastCount = count;
            return quiet;
        },
        30s, 50ms));
    ASSERT_FALSE(owner.seen.ended);

    sim::KvPrinterConfig config = sim::NumberedKvPrinter(7);
    KvPrinterOptions silent;
    silent.silent = true;
    const KvPrinterSim builder(config, silent, test::FreeUdpPort());
    ASSERT_TRUE(sender.Send(builder.BuildReply(KV_CMD_SEARCH)));
    ASSERT_TRUE(owner.TickUntil([&] { return owner.seen.rows.size() == 1; }, 30s));
    EXPECT_EQ(owner.seen.rows[0].mac, config.mac);
    EXPECT_EQ(owner.seen.rows[0].serialNumber, config.serialNumber);
    EXPECT_GT(owner.pump->Count(), 100u);
    owner.session.Exchange().timeoutSeconds = KV_REPLY_TIMEOUT_SECONDS;
    ASSERT_TRUE(owner.TickUntil([&] { return owner.seen.ended; }, 30s));
}

TEST_F(KvExchangeTest, ClosingWhileTheReceiverWaitsEndsItAndReopeningStartsEmpty) {
    KvPrinterOptions cut;
    cut.noEndLine = true;
    KvPrinterSim printer(sim::NumberedKvPrinter(0), cut, port);
    KvOwner owner(port);
    ASSERT_EQ(owner.session.StartSearch(), KvStart::Started);
    // The cut reply leaves the receiver waiting for the rest of a body.
    ASSERT_TRUE(owner.TickUntil([&] { return owner.pump->Count() >= 2; }, 2s));
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(owner.session.Busy());
    // The receiver would otherwise wait 100 s for the rest of the body.
    auto closing = std::async(std::launch::async, [&] { owner.Close(); });
    ASSERT_EQ(closing.wait_for(30s), std::future_status::ready);
    EXPECT_FALSE(owner.session.Busy());
    EXPECT_EQ(owner.session.ReceiveSocket(), -1);
    EXPECT_EQ(owner.session.Exchange().receiverRunning.load(), 0);

    printer.SetOptions({});
    ASSERT_TRUE(owner.session.Open(port));
    {
        std::lock_guard lock(owner.session.Exchange().tables.mutex);
        EXPECT_EQ(owner.session.Exchange().tables.foundPrinters.count, 0u);
    }
    owner.pump = std::make_unique<test::KvPump>(owner.session);
    ASSERT_EQ(owner.session.StartSearch(), KvStart::Started);
    ASSERT_TRUE(owner.TickUntil([&] { return owner.seen.rows.size() == 1; }, 3s));
    // Closed again mid-search by the owner's destructor.
}

} // namespace
} // namespace pemberlux
