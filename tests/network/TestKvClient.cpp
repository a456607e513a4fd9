// The key-value client as an owner without an event loop drives it: a query read
// into the printer's values, and a set built from them and a few changes, against
// simulated printers on a port the test chooses.
#include "KvPrinterSim.h"
#include "KvTestSupport.h"
#include "core/network/KvClient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;
using sim::KvPrinterSim;

// A set request: magic, direction 0x00, command 3 low byte first, the lines.
sim::Bytes SetRequest(const std::string& lines) {
    std::string bytes("\x00\x0D\xAC\x00\x0D\xAC\x00\x03\x00\x00\x00", 11);
    bytes += lines;
    return sim::Bytes(bytes.begin(), bytes.end());
}

TEST(KvClientTest, QueryAfterASearchThenASetOfTheChangesIsConfirmed) {
    const std::uint16_t port = test::FreeUdpPort();
    KvPrinterSim printer({}, {}, port);
    KvPrinterSim bystander(sim::NumberedKvPrinter(1), {}, port);
    ASSERT_TRUE(printer.Listening() && bystander.Listening());
    KvClient client(KvTiming{100ms, 100ms, 100ms, 10s});
    ASSERT_TRUE(client.Open(port));
    const std::stop_token never;

    // The query waits for the search's receiver to end, as the command line's does.
    ASSERT_EQ(client.StartSearch(), KvStart::Started);
    const KvQueryOutcome answer =
        client.Query("00A0D1000001", "TVL610000001", std::chrono::steady_clock::now() + 15s, never);
    ASSERT_EQ(answer.started, KvStart::Started);
    ASSERT_TRUE(answer.complete);
    const KvConfigValues& v = answer.values;
    EXPECT_EQ(v.deviceName, "LB-610");
    EXPECT_EQ(v.firmwareVersion, "V1.16.0");
    EXPECT_EQ(v.serialNumber, "TVL610000001");
    EXPECT_EQ(v.mac, "00A0D1000001");
    EXPECT_EQ(v.dhcp, 0);
    EXPECT_EQ(v.mask, (Ipv4Octets{255, 0, 0, 0}));
    EXPECT_EQ(v.printPort, "9100");
    EXPECT_EQ(v.printTimeout, "30");
    EXPECT_EQ(client.AnswerOf("00A0D1000001").value_or(KvConfigValues{}).serialNumber, "TVL610000001");
    EXPECT_FALSE(client.AnswerOf("00A0D1000002"));

    KvChanges changes;
    changes.ip = Ipv4Octets{127, 0, 0, 5};
    changes.printPort = 9101;
    ASSERT_EQ(client.StartSet(v.mac, v.serialNumber, KvSetValuesOf(v, changes)), KvStart::Started);
    const KvSetOutcome outcome = client.ConfirmServing(never);
    EXPECT_TRUE(outcome.confirmed);
    EXPECT_EQ(outcome.ipInUse, "127.0.0.5");
    EXPECT_EQ(outcome.monitorPort, 9101);
    EXPECT_FALSE(client.Busy());

    // What was not changed goes back as the printer answered it.
    const sim::Bytes set = SetRequest("DEV = LB-610              \r\n"
                                      "VER = V1.16.0             \r\n"
                                      "SERIAL_NUM = TVL610000001        \r\n"
                                      "MAC = 00A0D1000001\r\n"
                                      "IP_CUR = 127.0.0.1      \r\n"
                                      "DHCP = 0\r\n"
                                      "IP = 127.0.0.5      \r\n"
                                      "SUBNET_MASK = 255.0.0.0      \r\n"
                                      "GATEWAY = 127.0.0.1      \r\n"
                                      "PRNT_PORT = 9101 \r\n"
                                      "PRNT_RCV_TMO = 30   \r\n"
                                      "*END* = \r\n");
    const auto requests = printer.Requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), set), 1);
    EXPECT_EQ(printer.SetsApplied(), 1);
    EXPECT_EQ(bystander.SetsApplied(), 0);
    client.Close();
}

} // namespace
} // namespace pemberlux
