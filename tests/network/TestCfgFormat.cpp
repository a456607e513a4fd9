// The key-value protocol's wire format, parser, receive ring and reply reader,
// without sockets.
#include "network/CfgProtocol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;

std::string Text(const CfgBytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

ConfigFieldTable AllElevenFields(std::string_view deviceName = "LB-610") {
    ConfigFieldTable fields{};
    const std::string_view values[] = {deviceName, "V1.16.0",       "TVL610000001", "00A0D1000001", "10.0.0.7", "0",
                                       "10.0.0.7", "255.255.255.0", "10.0.0.1",     "9100",         "30"};
    for (std::size_t i = 0; i < CFG_KEYS.size(); ++i)
        SetField(fields, i, CFG_KEYS[i].name, values[i]);
    return fields;
}

// The reply text (after the command code) a printer sends with all eleven keys.
std::string SampleReplyText(std::string_view deviceName = "LB-610") {
    const CfgBytes datagram = BuildCfgDatagram(CFG_DIR_REPLY, CFG_CMD_QUERY, AllElevenFields(deviceName));
    return {datagram.begin() + CFG_HEADER_SIZE, datagram.end()};
}

TEST(CfgLines, AreFixedWidthPaddedOrCut) {
    ConfigFieldTable fields{};
    SetField(fields, 0, "DEV", "LB-610");
    SetField(fields, 1, "PRNT_PORT", "9100");
    SetField(fields, 2, "DEV", "ABCDEFGHIJKLMNOPQRSTUVWXY"); // 25 characters
    SetField(fields, 3, "DHCP", "1");
    EXPECT_EQ(BuildLine(fields[0]), "DEV = LB-610              \r\n");
    EXPECT_EQ(BuildLine(fields[1]), "PRNT_PORT = 9100 \r\n");
    EXPECT_EQ(BuildLine(fields[2]), "DEV = ABCDEFGHIJKLMNOPQRST\r\n");
    EXPECT_EQ(BuildLine(fields[3]), "DHCP = 1\r\n");
    EXPECT_FALSE(SetField(fields, 4, "HOSTNAME", "x"));
}

TEST(CfgRequests, SearchQueryAndSetHaveTheirSizesAndLayout) {
    const CfgBytes search = BuildSearchRequest();
    const CfgBytes expectedSearch{0x00, 0x0D, 0xAC, 0x00, 0x0D, 0xAC, 0x00, 0x01, 0x00, 0x00, 0x00,
                                  '*',  'E',  'N',  'D',  '*',  ' ',  '=',  ' ',  '\r', '\n'};
    EXPECT_EQ(search, expectedSearch);

    const CfgBytes query = BuildQueryRequest("00A0D1000001", "TVL610000001");
    ASSERT_EQ(query.size(), 76u);
    EXPECT_EQ(query[6], 0x00);
    EXPECT_EQ(query[7], 0x02);
    EXPECT_EQ(Text(query).substr(CFG_HEADER_SIZE),
              "MAC = 00A0D1000001\r\nSERIAL_NUM = TVL610000001        \r\n*END* = \r\n");

    const CfgBytes set = BuildSetRequest(AllElevenFields());
    ASSERT_EQ(set.size(), 289u);
    EXPECT_EQ(set[7], 0x03);
    const std::string text = Text(set);
    EXPECT_EQ(text.find("DEV = "), CFG_HEADER_SIZE);
    EXPECT_NE(text.find("IP_CUR = 10.0.0.7       \r\nDHCP = 0\r\nIP = 10.0.0.7       \r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("PRNT_RCV_TMO = 30   \r\n*END* = \r\n"));
}

TEST(CfgRequests, SetSendsOnlyTheFirstTwentyCharactersOfALongDeviceName) {
    const std::string text = Text(BuildSetRequest(AllElevenFields("Warehouse label desk 4")));
    EXPECT_EQ(text.size(), 289u);
    EXPECT_NE(text.find("DEV = Warehouse label desk\r\nVER = "), std::string::npos);
}

TEST(CfgParse, ReadsEveryKeyWithPaddingRemoved) {
    ConfigFieldTable fields{};
    bool macMatches = false;
    ASSERT_EQ(ParseFields(SampleReplyText(), fields, "00A0D1000001", &macMatches), CFG_PARSE_OK);
    EXPECT_TRUE(macMatches);
    EXPECT_EQ(FieldCount(fields), 11u);
    for (std::size_t i = 0; i < CFG_KEYS.size(); ++i)
        EXPECT_EQ(fields[i].key, CFG_KEYS[i].name);
    EXPECT_EQ(FindField(fields, "DEV")->Value(), "LB-610");
    EXPECT_EQ(FindField(fields, "IP_CUR")->Value(), "10.0.0.7");
    EXPECT_EQ(FindField(fields, "SUBNET_MASK")->Value(), "255.255.255.0");
    EXPECT_EQ(FindField(fields, "PRNT_PORT")->Value(), "9100");
    EXPECT_TRUE(fields[11].IsEnd());

    EXPECT_EQ(ParseFields(SampleReplyText(), fields, "00A0D1000002", &macMatches), CFG_PARSE_OK);
    EXPECT_FALSE(macMatches);
}

TEST(CfgParse, RejectsEmptyTextMissingEndLineUnknownKeysAndUnpaddedValues) {
    ConfigFieldTable fields{};
    EXPECT_EQ(ParseFields("", fields), CFG_PARSE_NO_TEXT);
    std::string noEnd = SampleReplyText();
    noEnd.resize(noEnd.size() - CFG_END_LINE.size());
    EXPECT_EQ(ParseFields(noEnd, fields), CFG_PARSE_NO_END);

    std::string unknown = SampleReplyText();
    unknown.insert(0, "LOCATION = shipping desk        \r\n");
    EXPECT_EQ(ParseFields(unknown, fields), CFG_PARSE_UNKNOWN_KEY);

    // "DEV = LB-610\r\n" is 14 bytes; the next line is looked for 28 bytes on.
    const std::string unpadded = "DEV = LB-610\r\nVER = V1.16.0\r\nMAC = 00A0D1000001\r\n*END* = \r\n";
    EXPECT_EQ(ParseFields(unpadded, fields), CFG_PARSE_UNKNOWN_KEY);
    EXPECT_EQ(fields[0].Value(), "LB-610\r\nVER = V1.16.");
}

TEST(CfgParse, ShortValuesAtTheEndAndTwelveLinesWithoutEndLine) {
    ConfigFieldTable fields{};
    // A value cut short by the end of the text: what is there is read, the next line
    // would lie past the end.
    EXPECT_EQ(ParseFields("MAC = 1*END* = \r\n", fields), CFG_PARSE_UNKNOWN_KEY);
    EXPECT_EQ(fields[0].Value(), "1*END* = \r\n");

    std::string twelve;
    for (int i = 0; i < 12; ++i)
        twelve += "DHCP = 1\r\n";
    twelve += CFG_END_LINE;
    EXPECT_EQ(ParseFields(twelve, fields), CFG_PARSE_OK);
    EXPECT_EQ(FieldCount(fields), 12u);
    EXPECT_EQ(FindField(fields, "DHCP")->Value(), "1");
}

TEST(CfgCompleteness, NeedsDhcpOffOrAnAddressAfterTheSelectedMac) {
    const auto reply = [](std::string_view dhcp, std::string_view ipCur, std::string_view mac = "00A0D1000001") {
        ConfigFieldTable fields = AllElevenFields();
        SetField(fields, 3, "MAC", mac);
        SetField(fields, 4, "IP_CUR", ipCur);
        SetField(fields, 5, "DHCP", dhcp);
        SetField(fields, 6, "IP", "10.0.0.7");
        return fields;
    };
    EXPECT_FALSE(IsQueryReplyComplete(reply("1", "----"), "00A0D1000001"));
    EXPECT_TRUE(IsQueryReplyComplete(reply("1", "10.0.0.9"), "00A0D1000001"));
    EXPECT_TRUE(IsQueryReplyComplete(reply("0", "----"), "00A0D1000001"));
    EXPECT_FALSE(IsQueryReplyComplete(reply("0", "10.0.0.9", "00A0D1000002"), "00A0D1000001"));

    ConfigFieldTable dhcpBeforeMac{};
    SetField(dhcpBeforeMac, 0, "DHCP", "0");
    SetField(dhcpBeforeMac, 1, "IP_CUR", "10.0.0.9");
    SetField(dhcpBeforeMac, 2, "MAC", "00A0D1000001");
    EXPECT_FALSE(IsQueryReplyComplete(dhcpBeforeMac, "00A0D1000001"));
}

class CfgReplyReader : public ::testing::Test {
protected:
    // No waiting on an empty ring: the reader gives up at once.
    CfgReadLimits fast{3, 3, 3, std::chrono::microseconds(0)};
    CfgRing ring;
    CfgBody body{};

    void Put(const CfgBytes& bytes) { ASSERT_EQ(ring.Write(bytes.data(), bytes.size()), bytes.size()); }
    int Read() { return ReadReply(ring, body, {}, fast); }
};

TEST_F(CfgReplyReader, SkipsRequestsAndReturnsTheReplyBody) {
    Put(BuildSearchRequest()); // the tool's own broadcast comes back to it
    Put(BuildQueryRequest("00A0D1000001", "TVL610000001"));
    Put(BuildCfgDatagram(CFG_DIR_REPLY, CFG_CMD_SEARCH, AllElevenFields()));
    const int n = Read();
    ASSERT_EQ(n, 4 + 268 + 10);
    EXPECT_EQ(body[0], CFG_CMD_SEARCH);
    EXPECT_EQ(std::string(ReplyText(body, n)), SampleReplyText());
    EXPECT_EQ(Read(), CFG_READ_NO_HEADER);
}

TEST_F(CfgReplyReader, BodyLimitAndMissingEndLine) {
    std::string lines;
    while (lines.size() < CFG_BODY_LIMIT)
        lines += "DEV = LB-610              \r\n";
    Put(BuildCfgDatagram(CFG_DIR_REPLY, CFG_CMD_SEARCH, lines));
    EXPECT_EQ(Read(), CFG_READ_TOO_LONG);

    // Exactly the limit, end line included, is still a reply.
    ring.Discard();
    const std::string exact(CFG_BODY_LIMIT - 4 - CFG_END_LINE.size(), 'x');
    Put(BuildCfgDatagram(CFG_DIR_REPLY, CFG_CMD_SEARCH, exact));
    EXPECT_EQ(Read(), static_cast<int>(CFG_BODY_LIMIT));
    EXPECT_EQ(ReplyText(body, CFG_BODY_LIMIT).size(), CFG_BODY_LIMIT - 4);

    CfgBytes cut = BuildCfgDatagram(CFG_DIR_REPLY, CFG_CMD_SEARCH, AllElevenFields());
    cut.resize(cut.size() - CFG_END_LINE.size());
    Put(cut);
    EXPECT_EQ(Read(), CFG_READ_BODY_TIMEOUT);
}

TEST_F(CfgReplyReader, DefaultLimitsWaitForALateBodyAndAbortEndsTheWait) {
    const CfgBytes reply = BuildCfgDatagram(CFG_DIR_REPLY, CFG_CMD_QUERY, AllElevenFields());
    const std::size_t half = 100;
    ASSERT_EQ(ring.Write(reply.data(), half), half);
    std::thread late([&] {
        std::this_thread::sleep_for(300ms);
        ring.Write(reply.data() + half, reply.size() - half);
    });
    EXPECT_EQ(ReadReply(ring, body), static_cast<int>(reply.size() - CFG_HEADER_SIZE + 4));
    late.join();

    // Without a header the reader gives up by itself after about 100 ms of silence.
    const auto start = std::chrono::steady_clock::now();
    auto header = std::async(std::launch::async, [&] { return ReadReply(ring, body); });
    ASSERT_EQ(header.wait_for(30s), std::future_status::ready);
    EXPECT_EQ(header.get(), CFG_READ_NO_HEADER);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 90ms);

    // Inside a body the default wait is long (100 s); an abort request ends it.
    ring.Write(reply.data(), half);
    std::atomic<bool> abort{false};
    auto inBody = std::async(std::launch::async, [&] { return ReadReply(ring, body, [&] { return abort.load(); }); });
    EXPECT_EQ(inBody.wait_for(200ms), std::future_status::timeout); // still waiting for the rest
    abort = true;
    ring.Wake();
    ASSERT_EQ(inBody.wait_for(30s), std::future_status::ready);
    EXPECT_EQ(inBody.get(), CFG_READ_BODY_TIMEOUT);
}

TEST_F(CfgReplyReader, AReaderWaitingForAHeaderTakesBytesAsSoonAsTheyCome) {
    const CfgBytes reply = BuildCfgDatagram(CFG_DIR_REPLY, CFG_CMD_SEARCH, AllElevenFields());
    // A minute of silence allowed before the header.
    const CfgReadLimits patient{60000, 1000, 100, std::chrono::microseconds(1000)};
    auto read = std::async(std::launch::async, [&] { return ReadReply(ring, body, {}, patient); });
    std::this_thread::sleep_for(50ms);
    Put(reply);
    ASSERT_EQ(read.wait_for(30s), std::future_status::ready);
    EXPECT_EQ(read.get(), static_cast<int>(reply.size() - CFG_HEADER_SIZE + 4));
}

TEST_F(CfgReplyReader, FullRingDropsTheRestAndKeepsWorkingAcrossTheWrap) {
    const CfgBytes garbage(CFG_RING_SIZE + 100, 0x5A);
    EXPECT_EQ(ring.Write(garbage.data(), garbage.size()), CFG_RING_SIZE - 1);
    EXPECT_EQ(ring.Dropped(), 101u);
    const CfgBytes reply = BuildCfgDatagram(CFG_DIR_REPLY, CFG_CMD_SEARCH, AllElevenFields());
    EXPECT_EQ(ring.Write(reply.data(), reply.size()), 0u);
    EXPECT_EQ(Read(), CFG_READ_NO_HEADER);
    EXPECT_EQ(ring.Size(), 0u);

    // Replies keep coming through the ring while its indexes wrap around.
    for (int i = 0; i < 600; ++i) {
        Put(reply);
        ASSERT_EQ(Read(), static_cast<int>(reply.size() - CFG_HEADER_SIZE + 4)) << "reply " << i;
    }
}

TEST(CfgSearchTable, SameSerialRewritesTheRowAndAnEleventhPrinterIsDropped) {
    {
        std::lock_guard lock(CfgTablesMutex());
        FoundPrinters.Clear();
    }
    const auto reply = [](int n, std::string_view dev) {
        ConfigFieldTable fields = AllElevenFields(dev);
        SetField(fields, 2, "SERIAL_NUM", "TVL61000000" + std::to_string(n % 10) + std::to_string(n / 10));
        SetField(fields, 3, "MAC", "00A0D10000" + std::to_string(10 + n));
        const CfgBytes d = BuildCfgDatagram(CFG_DIR_REPLY, CFG_CMD_SEARCH, fields);
        return std::string(d.begin() + CFG_HEADER_SIZE, d.end());
    };
    for (int n = 0; n < 10; ++n)
        EXPECT_EQ(HandleSearchReply(reply(n, "LB-610")), CFG_REPLY_TAKEN);
    EXPECT_EQ(HandleSearchReply(reply(3, "LB-610")), CFG_REPLY_IGNORED);
    EXPECT_EQ(HandleSearchReply(reply(3, "LB-710")), CFG_ROW_UPDATED);
    EXPECT_EQ(HandleSearchReply(reply(10, "LB-610")), CFG_TABLE_FULL);
    EXPECT_EQ(HandleSearchReply("DEV = x\r\n"), CFG_PARSE_NO_END);

    std::lock_guard lock(CfgTablesMutex());
    EXPECT_EQ(FoundPrinters.count, 10u);
    EXPECT_EQ(FoundPrinters.entries[3].deviceName, "LB-710");
    EXPECT_EQ(FoundPrinters.entries[3].mac, "00A0D1000013");
    EXPECT_EQ(FoundPrinters.entries[10], FoundPrinter{});
}

} // namespace
} // namespace pemberlux
