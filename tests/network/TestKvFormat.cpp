// The key-value protocol's wire format, parser, receive ring and reply reader,
// without sockets; and the program's side against the simulated printer's own
// encoder and parser.
#include "KvPrinterSim.h"
#include "KvWire.h"
#include "core/network/KvProtocol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace pemberlux {
namespace {

// A reply read whole, with a body of `length` bytes.
KvReadResult Body(std::size_t length) {
    return {KvReadResult::Read, length};
}

using namespace std::chrono_literals;

std::string Text(const Bytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

ConfigFieldTable AllElevenFields(std::string_view deviceName = "LB-610") {
    ConfigFieldTable fields{};
    const std::string_view values[] = {deviceName, "V1.16.0",       "TVL610000001", "00A0D1000001", "10.0.0.7", "0",
                                       "10.0.0.7", "255.255.255.0", "10.0.0.1",     "9100",         "30"};
    for (std::size_t i = 0; i < KV_KEYS.size(); ++i)
        SetField(fields, i, KV_KEYS[i].name, values[i]);
    return fields;
}

// A datagram as the protocol lays it out: magic, direction, command low byte first, text.
Bytes Datagram(std::uint8_t direction, std::uint8_t command, std::string_view text) {
    std::string bytes("\x00\x0D\xAC\x00\x0D\xAC", 6);
    bytes += static_cast<char>(direction);
    bytes += static_cast<char>(command);
    bytes.append(3, '\0');
    bytes += text;
    return Bytes(bytes.begin(), bytes.end());
}

// One line: the key, " = ", the value padded with spaces to the key's width, CR LF.
std::string Line(std::string_view key, std::size_t width, std::string_view value) {
    std::string padded(value);
    padded.resize(width, ' ');
    return std::string(key) + " = " + padded + "\r\n";
}

// The reply text (after the command code) a printer sends with all eleven keys.
constexpr std::string_view kSampleReply = "DEV = LB-610              \r\n"
                                          "VER = V1.16.0             \r\n"
                                          "SERIAL_NUM = TVL610000001        \r\n"
                                          "MAC = 00A0D1000001\r\n"
                                          "IP_CUR = 10.0.0.7       \r\n"
                                          "DHCP = 0\r\n"
                                          "IP = 10.0.0.7       \r\n"
                                          "SUBNET_MASK = 255.255.255.0  \r\n"
                                          "GATEWAY = 10.0.0.1       \r\n"
                                          "PRNT_PORT = 9100 \r\n"
                                          "PRNT_RCV_TMO = 30   \r\n"
                                          "*END* = \r\n";

std::string SampleReplyText() {
    return std::string(kSampleReply);
}

TEST(KvLines, AreFixedWidthPaddedOrCut) {
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

TEST(KvRequests, SearchQueryAndSetHaveTheirSizesAndLayout) {
    const Bytes search = BuildSearchRequest();
    const Bytes expectedSearch{0x00, 0x0D, 0xAC, 0x00, 0x0D, 0xAC, 0x00, 0x01, 0x00, 0x00, 0x00,
                               '*',  'E',  'N',  'D',  '*',  ' ',  '=',  ' ',  '\r', '\n'};
    EXPECT_EQ(search, expectedSearch);

    const Bytes query = BuildQueryRequest("00A0D1000001", "TVL610000001");
    EXPECT_EQ(query.size(), 76u);
    EXPECT_EQ(query, Datagram(0x00, 0x02, "MAC = 00A0D1000001\r\nSERIAL_NUM = TVL610000001        \r\n*END* = \r\n"));

    // The same lines a printer writes, in the same order.
    const Bytes set = BuildSetRequest(AllElevenFields());
    EXPECT_EQ(set.size(), 289u);
    EXPECT_EQ(set, Datagram(0x00, 0x03, kSampleReply));
}

TEST(KvRequests, SetSendsOnlyTheFirstTwentyCharactersOfALongDeviceName) {
    const std::string text = Text(BuildSetRequest(AllElevenFields("Warehouse label desk 4")));
    EXPECT_EQ(text.size(), 289u);
    EXPECT_NE(text.find("DEV = Warehouse label desk\r\nVER = "), std::string::npos);
}

TEST(KvParse, ReadsEveryKeyWithPaddingRemoved) {
    ConfigFieldTable fields{};
    bool macMatches = false;
    ASSERT_EQ(ParseFields(SampleReplyText(), fields, "00A0D1000001", &macMatches), KvParse::Ok);
    EXPECT_TRUE(macMatches);
    EXPECT_EQ(FieldCount(fields), 11u);
    const char* const keys[] = {"DEV", "VER",         "SERIAL_NUM", "MAC",       "IP_CUR",      "DHCP",
                                "IP",  "SUBNET_MASK", "GATEWAY",    "PRNT_PORT", "PRNT_RCV_TMO"};
    for (std::size_t i = 0; i < std::size(keys); ++i)
        EXPECT_EQ(fields[i].key, keys[i]);
    EXPECT_EQ(FindField(fields, "DEV")->Value(), "LB-610");
    EXPECT_EQ(FindField(fields, "IP_CUR")->Value(), "10.0.0.7");
    EXPECT_EQ(FindField(fields, "SUBNET_MASK")->Value(), "255.255.255.0");
    EXPECT_EQ(FindField(fields, "PRNT_PORT")->Value(), "9100");
    EXPECT_TRUE(fields[11].IsEnd());

    EXPECT_EQ(ParseFields(SampleReplyText(), fields, "00A0D1000002", &macMatches), KvParse::Ok);
    EXPECT_FALSE(macMatches);
}

TEST(KvParse, RejectsEmptyTextMissingEndLineUnknownKeysAndUnpaddedValues) {
    ConfigFieldTable fields{};
    EXPECT_EQ(ParseFields("", fields), KvParse::NoText);
    std::string noEnd = SampleReplyText();
    noEnd.resize(noEnd.size() - KV_END_LINE.size());
    EXPECT_EQ(ParseFields(noEnd, fields), KvParse::NoEnd);

    std::string unknown = SampleReplyText();
    unknown.insert(0, "LOCATION = shipping desk        \r\n");
    EXPECT_EQ(ParseFields(unknown, fields), KvParse::UnknownKey);

    // "DEV = LB-610\r\n" is 14 bytes; the next line is looked for 28 bytes on.
    const std::string unpadded = "DEV = LB-610\r\nVER = V1.16.0\r\nMAC = 00A0D1000001\r\n*END* = \r\n";
    EXPECT_EQ(ParseFields(unpadded, fields), KvParse::UnknownKey);
    EXPECT_EQ(fields[0].Value(), "LB-610\r\nVER = V1.16.");
}

TEST(KvParse, ShortValuesAtTheEndAndTwelveLinesWithoutEndLine) {
    ConfigFieldTable fields{};
    // A value cut short by the end of the text: what is there is read, the next line
    // would lie past the end.
    EXPECT_EQ(ParseFields("MAC = 1*END* = \r\n", fields), KvParse::UnknownKey);
    EXPECT_EQ(fields[0].Value(), "1*END* = \r\n");

    std::string twelve;
    for (int i = 0; i < 12; ++i)
        twelve += "DHCP = 1\r\n";
    twelve += KV_END_LINE;
    EXPECT_EQ(ParseFields(twelve, fields), KvParse::Ok);
    EXPECT_EQ(FieldCount(fields), 12u);
    EXPECT_EQ(FindField(fields, "DHCP")->Value(), "1");
}

TEST(KvCompleteness, NeedsDhcpOffOrAnAddressAfterTheSelectedMac) {
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

class KvReplyReader : public ::testing::Test {
protected:
    // No waiting on an empty ring: the reader gives up at once.
    KvReadLimits fast{3, 3, 3, std::chrono::microseconds(0)};
    KvRing ring;
    KvBody body{};

    void Put(const Bytes& bytes) { ASSERT_EQ(ring.Write(bytes.data(), bytes.size()), bytes.size()); }
    KvReadResult Read() { return ReadReply(ring, body, {}, fast); }
};

TEST_F(KvReplyReader, SkipsRequestsAndReturnsTheReplyBody) {
    Put(Datagram(0x00, 0x01, "*END* = \r\n")); // the tool's own broadcast comes back to it
    Put(Datagram(0x00, 0x02, "MAC = 00A0D1000001\r\nSERIAL_NUM = TVL610000001        \r\n*END* = \r\n"));
    Put(Datagram(0xFF, 0x01, kSampleReply));
    ASSERT_EQ(Read(), Body(4 + 268 + 10));
    EXPECT_EQ(body[0], KV_CMD_SEARCH);
    EXPECT_EQ(std::string(ReplyText(body, 4 + 268 + 10)), SampleReplyText());
    EXPECT_EQ(Read(), KvReadResult{KvReadResult::NoHeader});
}

TEST_F(KvReplyReader, BodyLimitAndMissingEndLine) {
    // One byte over the 640 of a body: 4 of command, 627 of text, the end line.
    Put(Datagram(0xFF, 0x01, std::string(627, 'x') + "*END* = \r\n"));
    EXPECT_EQ(Read(), KvReadResult{KvReadResult::TooLong});

    // Exactly the limit, end line included, is still a reply.
    ring.Discard();
    Put(Datagram(0xFF, 0x01, std::string(626, 'x') + "*END* = \r\n"));
    EXPECT_EQ(Read(), Body(640));
    EXPECT_EQ(ReplyText(body, 640).size(), 636u);

    Put(Datagram(0xFF, 0x01, kSampleReply.substr(0, kSampleReply.size() - 10)));
    EXPECT_EQ(Read(), KvReadResult{KvReadResult::BodyTimeout});
}

TEST_F(KvReplyReader, DefaultLimitsWaitForALateBodyAndAbortEndsTheWait) {
    const Bytes reply = Datagram(0xFF, 0x02, kSampleReply);
    const std::size_t half = 100;
    ASSERT_EQ(ring.Write(reply.data(), half), half);
    std::thread late([&] {
        std::this_thread::sleep_for(300ms);
        ring.Write(reply.data() + half, reply.size() - half);
    });
    EXPECT_EQ(ReadReply(ring, body), Body(reply.size() - KV_HEADER_SIZE + 4));
    late.join();

    // Without a header the reader gives up by itself after about 100 ms of silence.
    const auto start = std::chrono::steady_clock::now();
    auto header = std::async(std::launch::async, [&] { return ReadReply(ring, body); });
    ASSERT_EQ(header.wait_for(30s), std::future_status::ready);
    EXPECT_EQ(header.get(), KvReadResult{KvReadResult::NoHeader});
    EXPECT_GE(std::chrono::steady_clock::now() - start, 90ms);

    // Inside a body the default wait is long (100 s); an abort request ends it.
    ring.Write(reply.data(), half);
    std::atomic<bool> abort{false};
    auto inBody = std::async(std::launch::async, [&] { return ReadReply(ring, body, [&] { return abort.load(); }); });
    EXPECT_EQ(inBody.wait_for(200ms), std::future_status::timeout); // still waiting for the rest
    abort = true;
    ring.Wake();
    ASSERT_EQ(inBody.wait_for(30s), std::future_status::ready);
    EXPECT_EQ(inBody.get(), KvReadResult{KvReadResult::BodyTimeout});
}

TEST_F(KvReplyReader, AReaderWaitingForAHeaderTakesBytesAsSoonAsTheyCome) {
    const Bytes reply = BuildKvDatagram(KV_DIR_REPLY, KV_CMD_SEARCH, AllElevenFields());
    // A minute of silence allowed before the header.
    const KvReadLimits patient{60000, 1000, 100, std::chrono::microseconds(1000)};
    auto read = std::async(std::launch::async, [&] { return ReadReply(ring, body, {}, patient); });
    std::this_thread::sleep_for(50ms);
    Put(reply);
    ASSERT_EQ(read.wait_for(30s), std::future_status::ready);
    EXPECT_EQ(read.get(), Body(reply.size() - KV_HEADER_SIZE + 4));
}

TEST_F(KvReplyReader, FullRingDropsTheRestAndKeepsWorkingAcrossTheWrap) {
    const Bytes garbage(KV_RING_SIZE + 100, 0x5A);
    EXPECT_EQ(ring.Write(garbage.data(), garbage.size()), KV_RING_SIZE - 1);
    EXPECT_EQ(ring.Dropped(), 101u);
    const Bytes reply = Datagram(0xFF, 0x01, kSampleReply);
    EXPECT_EQ(ring.Write(reply.data(), reply.size()), 0u);
    EXPECT_EQ(Read(), KvReadResult{KvReadResult::NoHeader});
    EXPECT_EQ(ring.Size(), 0u);

    // Replies keep coming through the ring while its indexes wrap around.
    for (int i = 0; i < 600; ++i) {
        Put(reply);
        ASSERT_EQ(Read(), Body(reply.size() - KV_HEADER_SIZE + 4)) << "reply " << i;
    }
}

TEST(KvSearchTable, SameSerialRewritesTheRowAndAnEleventhPrinterIsDropped) {
    KvTables tables;
    const auto reply = [](int n, std::string_view dev) {
        const std::string serial = "TVL61000000" + std::to_string(n % 10) + std::to_string(n / 10);
        return Line("DEV", 20, dev) + Line("VER", 20, "V1.16.0") + Line("SERIAL_NUM", 20, serial) +
               Line("MAC", 12, "00A0D10000" + std::to_string(10 + n)) +
               std::string(kSampleReply.substr(kSampleReply.find("IP_CUR")));
    };
    for (int n = 0; n < 10; ++n)
        EXPECT_EQ(HandleSearchReply(tables, reply(n, "LB-610")), KvReply::Taken);
    EXPECT_EQ(HandleSearchReply(tables, reply(3, "LB-610")), KvReply::Ignored);
    EXPECT_EQ(HandleSearchReply(tables, reply(3, "LB-710")), KvReply::RowUpdated);
    EXPECT_EQ(HandleSearchReply(tables, reply(10, "LB-610")), KvReply::TableFull);
    EXPECT_EQ(HandleSearchReply(tables, "DEV = x\r\n"), KvReply::NoEnd);

    std::lock_guard lock(tables.mutex);
    EXPECT_EQ(tables.foundPrinters.count, 10u);
    EXPECT_EQ(tables.foundPrinters.entries[3].deviceName, "LB-710");
    EXPECT_EQ(tables.foundPrinters.entries[3].mac, "00A0D1000013");
    EXPECT_EQ(tables.foundPrinters.entries[10], FoundPrinter{});
}

// ---- Against the simulated printer's own encoder and parser ----------------------

// The eleven keys as the protocol description lists them: order, width, and the
// values of simulated printer number 1.
struct KeyOnWire {
    const char* key;
    std::size_t width;
    const char* value;
};
constexpr KeyOnWire kPrinterOne[] = {
    {"DEV", 20, "LB-710"},       {"VER", 20, "V1.16.0"},           {"SERIAL_NUM", 20, "TVL710000002"},
    {"MAC", 12, "00A0D1000002"}, {"IP_CUR", 15, "127.0.0.1"},      {"DHCP", 1, "0"},
    {"IP", 15, "127.0.0.1"},     {"SUBNET_MASK", 15, "255.0.0.0"}, {"GATEWAY", 15, "127.0.0.1"},
    {"PRNT_PORT", 5, "9100"},    {"PRNT_RCV_TMO", 5, "30"},
};

TEST(KvWire, SimulatedPrintersReplyIsReadWithEveryValue) {
    sim::KvPrinterOptions silent;
    silent.silent = true;
    const sim::KvPrinterSim printer(sim::NumberedKvPrinter(1), silent, 0);
    const Bytes reply = printer.BuildReply(2);
    const std::string text(reply.begin(), reply.end());

    // Magic, 0xFF for a reply, command 2 low byte first; then each line at its fixed offset.
    ASSERT_GE(reply.size(), 11u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 11),
              (Bytes{0x00, 0x0D, 0xAC, 0x00, 0x0D, 0xAC, 0xFF, 0x02, 0x00, 0x00, 0x00}));
    std::size_t at = 11;
    for (const KeyOnWire& k : kPrinterOne) {
        EXPECT_EQ(text.substr(at, Line(k.key, k.width, k.value).size()), Line(k.key, k.width, k.value)) << k.key;
        at += Line(k.key, k.width, k.value).size();
    }
    EXPECT_EQ(text.substr(at), "*END* = \r\n");

    ConfigFieldTable fields{};
    bool macMatches = false;
    ASSERT_EQ(ParseFields(text.substr(11), fields, "00A0D1000002", &macMatches), KvParse::Ok);
    EXPECT_TRUE(macMatches);
    ASSERT_EQ(FieldCount(fields), std::size(kPrinterOne));
    for (std::size_t i = 0; i < std::size(kPrinterOne); ++i) {
        EXPECT_EQ(fields[i].key, kPrinterOne[i].key);
        EXPECT_EQ(fields[i].width, kPrinterOne[i].width) << kPrinterOne[i].key;
        EXPECT_EQ(fields[i].Value(), kPrinterOne[i].value) << kPrinterOne[i].key;
    }
}

TEST(KvWire, ProgramsRequestsPassTheSimulatedPrintersParser) {
    const auto parse = [](const Bytes& bytes) {
        std::string why;
        auto m = sim::kv::Parse(bytes.data(), bytes.size(), &why);
        EXPECT_TRUE(m) << why;
        return m.value_or(sim::kv::Message{});
    };
    const sim::kv::Message search = parse(BuildSearchRequest());
    EXPECT_EQ(search.direction, 0x00);
    EXPECT_EQ(search.command, 1u);
    EXPECT_TRUE(search.fields.empty());

    const sim::kv::Message query = parse(BuildQueryRequest("00A0D1000002", "TVL710000002"));
    EXPECT_EQ(query.command, 2u);
    EXPECT_EQ(query.fields, (sim::kv::Fields{{"MAC", "00A0D1000002"}, {"SERIAL_NUM", "TVL710000002"}}));

    const sim::kv::Message set = parse(BuildSetRequest(AllElevenFields()));
    EXPECT_EQ(set.command, 3u);
    const sim::kv::Fields expected{
        {"DEV", "LB-610"},
        {"VER", "V1.16.0"},
        {"SERIAL_NUM", "TVL610000001"},
        {"MAC", "00A0D1000001"},
        {"IP_CUR", "10.0.0.7"},
        {"DHCP", "0"},
        {"IP", "10.0.0.7"},
        {"SUBNET_MASK", "255.255.255.0"},
        {"GATEWAY", "10.0.0.1"},
        {"PRNT_PORT", "9100"},
        {"PRNT_RCV_TMO", "30"},
    };
    EXPECT_EQ(set.fields, expected);
}

TEST(KvWire, SimulatedPrintersParserRefusesAValueOfTheWrongWidth) {
    // A MAC one column wide or narrow, an unknown key, bytes after the end line.
    for (const char* text : {"MAC = 00A0D10000021\r\n*END* = \r\n", "MAC = 00A0D100002\r\n*END* = \r\n",
                             "HOST = x\r\n*END* = \r\n", "*END* = \r\nX", "MAC = 00A0D1000002\r\n"}) {
        const Bytes bytes = Datagram(0x00, 0x02, text);
        EXPECT_FALSE(sim::kv::Parse(bytes.data(), bytes.size())) << text;
    }
}

} // namespace
} // namespace pemberlux
