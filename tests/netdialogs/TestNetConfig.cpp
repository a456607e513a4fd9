// What the network dialogs hand to the printers, without the dialogs: address
// texts, MAC addresses as typed, the network frame sent over USB, the fields of
// a key-value set, and printer text in its code page.
#include "core/base/CodePage.h"
#include "core/base/MacAddress.h"
#include "core/network/NetConfig.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace pemberlux {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The three forms the printers' tools write, either case; anything that is
// one character off (length, a separator, a mix of separators) is refused and
// shown as typed.
TEST(MacText, TheThreeFormsReadAsOneAddressAndNothingElseDoes) {
    const std::optional<MacBytes> mac = MacBytes{0x00, 0x1b, 0x35, 0x0a, 0xff, 0x12};
    const struct {
        const char* text;
        std::optional<MacBytes> read;
    } cases[] = {
        {"00:1b:35:0a:ff:12", mac}, {"00-1B-35-0A-FF-12", mac}, {"001B350AFF12", mac}, {"00:1B:35:0a:Ff:12", mac},
        {"00:1b:35-0a:ff:12", {}},  {"00:1b:35:0a:ff:1", {}},   {"00:1b:35:0a:ff:123", {}}, {"001B350AFF1", {}},
        {"001B350AFF123", {}},      {"001B350AFF1G", {}},       {"00.1b.35.0a.ff.12", {}},  {"0:01b:35:0a:ff:12", {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseMac(c.text), c.read) << c.text;
        EXPECT_EQ(MacShown(c.text), c.read ? "00:1b:35:0a:ff:12" : c.text) << c.text;
    }
}

TEST(AddressText, ReadAsAnAddressControlTakesIt) {
    struct Case {
        const char* text;
        std::optional<Ipv4Octets> address;
        bool reachable;
    };
    const Case cases[] = {
        {"192.168.1.20", Ipv4Octets{192, 168, 1, 20}, true},
        {"127.0.0.1", Ipv4Octets{127, 0, 0, 1}, true},
        {"10..1", Ipv4Octets{10, 0, 1, 0}, false}, // blank fields are 0, but no address to connect to
        {"", Ipv4Octets{0, 0, 0, 0}, false},
        {"0.0.0.0", Ipv4Octets{0, 0, 0, 0}, false},
        {"----", std::nullopt, false},
        {"256.1.1.1", std::nullopt, false},
        {"1.2.3.4.5", std::nullopt, false},
        {"1.2.3.0004", std::nullopt, false},
        {"1.2.3.4 ", std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseDottedIp(c.text), c.address);
        EXPECT_EQ(IsReachableAddress(c.text), c.reachable);
    }
    EXPECT_EQ(FormatIp({192, 168, 0, 10}), "192.168.0.10");
    EXPECT_FALSE(IsUsablePort(0));
    EXPECT_TRUE(IsUsablePort(9100));
    EXPECT_FALSE(IsUsablePort(65536));
}

TEST(UsbNetworkFrame, AddressesFirstOctetFirstAndTheDhcpIndex) {
    NetUsbSettings s{{192, 168, 1, 20}, {192, 168, 1, 1}, {255, 255, 255, 0}, 0};
    EXPECT_EQ(BuildNetSettingsUsbFrame(s), (Bytes{0x1B, 0x0D, 0x53, 0x1B, 0x3B, 0x01, 0xC0, 0xA8, 0x01, 0x14, 0xC0,
                                                  0xA8, 0x01, 0x01, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x1B, 0x10, 0x45}));
    s.dhcp = 1;
    EXPECT_EQ(BuildNetSettingsUsbFrame(s)[18], 0x01);
    s.dhcp = -1; // nothing selected
    EXPECT_EQ(BuildNetSettingsUsbFrame(s)[18], 0x00);
}

std::string SetText(const ConfigFieldTable& fields) {
    const Bytes datagram = BuildSetRequest(fields);
    return std::string(datagram.begin() + KV_HEADER_SIZE, datagram.end());
}

KvSetValues TypicalSet() {
    KvSetValues v;
    v.deviceName = "LB-610";
    v.firmwareVersion = "V1.16.0";
    v.serialNumber = "TVL610000001";
    v.mac = "00A0D1000001";
    v.currentIp = {127, 0, 0, 1};
    v.dhcp = 0;
    v.ip = {127, 0, 0, 5};
    v.mask = {255, 0, 0, 0};
    v.gateway = {127, 0, 0, 1};
    v.printPort = 9100;
    v.printTimeout = 30;
    return v;
}

TEST(KeyValueSet, ElevenLinesPaddedToTheirWidths) {
    ConfigFieldTable fields;
    FillOutgoingFields(TypicalSet(), fields);
    EXPECT_EQ(BuildSetRequest(fields).size(), 289u);
    EXPECT_EQ(SetText(fields), "DEV = LB-610              \r\n"
                               "VER = V1.16.0             \r\n"
                               "SERIAL_NUM = TVL610000001        \r\n"
                               "MAC = 00A0D1000001\r\n"
                               "IP_CUR = 127.0.0.1      \r\n"
                               "DHCP = 0\r\n"
                               "IP = 127.0.0.5      \r\n"
                               "SUBNET_MASK = 255.0.0.0      \r\n"
                               "GATEWAY = 127.0.0.1      \r\n"
                               "PRNT_PORT = 9100 \r\n"
                               "PRNT_RCV_TMO = 30   \r\n"
                               "*END* = \r\n");
}

TEST(KeyValueSet, AValueThatCannotBeSentIsLeftOutAndTheNextTakesItsPlace) {
    KvSetValues v = TypicalSet();
    v.deviceName = std::string(64, 'x');
    v.printPort = 70000;
    ConfigFieldTable fields;
    FillOutgoingFields(v, fields);
    EXPECT_EQ(FieldCount(fields), 9u);
    EXPECT_EQ(fields[0].key, "VER");
    EXPECT_EQ(fields[8].key, "PRNT_RCV_TMO");
    v.deviceName = std::string(63, 'x'); // fits the rule, goes out cut to the width
    FillOutgoingFields(v, fields);
    EXPECT_EQ(fields[0].key, "DEV");
    EXPECT_EQ(BuildLine(fields[0]), "DEV = " + std::string(20, 'x') + "\r\n");
}

TEST(KeyValueReply, ValuesComeBackAsTheySentThem) {
    ConfigFieldTable fields;
    const std::string name = "\xB1\xEA\xC7\xA9"; // a name in the printer's code page
    ASSERT_EQ(ParseFields("DEV = " + name + std::string(16, ' ') + "\r\n" +
                              "MAC = 00A0D1000001\r\nIP_CUR = ----           \r\nDHCP = 1\r\n"
                              "PRNT_PORT = 9100 \r\n*END* = \r\n",
                          fields),
              KvParse::Ok);
    const KvConfigValues v = ReadKvConfig(fields);
    EXPECT_EQ(v.deviceName, name);
    EXPECT_TRUE(v.hasCurrentIp);
    EXPECT_EQ(v.currentIp, (Ipv4Octets{}));
    EXPECT_FALSE(v.hasIp);
    EXPECT_EQ(v.dhcp, 1);
    EXPECT_EQ(v.printPort, "9100");
    EXPECT_TRUE(IsReplyOf(fields, "00A0D1000001"));
    EXPECT_FALSE(IsReplyOf(fields, "00A0D1000002"));
    EXPECT_FALSE(IsReplyOf(fields, ""));
    EXPECT_EQ(DecodeCodePage(name, 2052), "标签");
    EXPECT_EQ(DecodeCodePage("Caf\xE9", 1033), "Café");
}

} // namespace
} // namespace pemberlux
