// Frames, search answers and the configuration image of the print-server
// protocol, without the network; and the program's side against the simulated
// print server's own frame, answer and image code.
#include "PsWire.h"
#include "core/network/PrintServerChannel.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace pemberlux;

namespace {

using Bytes = std::vector<std::uint8_t>;

const MacAddress kMac{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};

DiscoveryRecord RecordFrom(const Bytes& bytes) {
    auto record = ParseDiscoveryDatagram(bytes.data(), bytes.size());
    EXPECT_TRUE(record.has_value());
    return record.value_or(DiscoveryRecord{});
}

Bytes RecordBytes(const std::string& name) {
    Bytes b(36, 0);
    b[5] = 192, b[6] = 168, b[7] = 1, b[8] = 20;
    const Bytes mac{0x00, 0x1a, 0x2b, 0xc3, 0xd4, 0xe5};
    std::copy(mac.begin(), mac.end(), b.begin() + 9);
    b[15] = 0x02, b[16] = 0x01; // firmware 0x0102 = 258
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 17), b.begin() + 19);
    return b;
}

} // namespace

// ---- frames on the wire ----

TEST(PrintServerFrames, SearchFrameChecksumLeavesOutTheStartByte) {
    EXPECT_EQ(BuildSearchFrame(), (Bytes{0xFF, 0x01, 0x01, 0x02}));
}

TEST(PrintServerFrames, ReadConfigFrameCarriesMacAndCredentials) {
    const Bytes expected{0xFF, 0x13, 0x03, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 't',  'u',
                         'l',  'v',  'o',  0x00, 't',  'u',  'l',  'v',  'o',  0x00, 0x89};
    EXPECT_EQ(BuildAddressedFrame(PS_CMD_READ_CONFIG, kMac), expected);
    Bytes apply = expected;
    apply[2] = 0x04, apply[21] = 0x8A;
    EXPECT_EQ(BuildAddressedFrame(PS_CMD_APPLY, kMac), apply);
}

TEST(PrintServerFrames, WriteFramesCarryTheBlockAfterTheHeader) {
    Bytes blockA(67);
    std::iota(blockA.begin(), blockA.end(), std::uint8_t{0});
    const Bytes a = BuildAddressedFrame(PS_CMD_WRITE_A, kMac, blockA);
    ASSERT_EQ(a.size(), 89u);
    EXPECT_EQ(a[1], 0x56);
    EXPECT_EQ(a[2], 0x05);
    EXPECT_EQ(Bytes(a.begin() + 21, a.begin() + 88), blockA);
    EXPECT_EQ(a[88], 0x71);

    const Bytes b = BuildAddressedFrame(PS_CMD_WRITE_B, kMac, Bytes(63, 0x10));
    ASSERT_EQ(b.size(), 85u);
    EXPECT_EQ(b[1], 0x52);
    // 0x52 + 0x06 + MAC 0xFF + credentials 0x474 + 63 * 0x10 = 0x9BB
    EXPECT_EQ(b[84], 0xBB);
}

TEST(PrintServerFrames, AcknowledgementMustMatchTheCommandWhole) {
    const Bytes ackA{0xFF, 0x01, 0x05, 0x4B};
    EXPECT_TRUE(IsAcknowledgement(PS_CMD_WRITE_A, ackA.data(), ackA.size()));
    EXPECT_FALSE(IsAcknowledgement(PS_CMD_WRITE_B, ackA.data(), ackA.size()));
    // A cut answer is not an acknowledgement, even when its bytes agree.
    EXPECT_FALSE(IsAcknowledgement(PS_CMD_WRITE_A, ackA.data(), 1));
    EXPECT_FALSE(IsAcknowledgement(PS_CMD_WRITE_A, ackA.data(), 0));
    EXPECT_FALSE(IsAcknowledgement(PS_CMD_WRITE_A, nullptr, 4));
    const Bytes applyAck{0xFF, 0x01, 0x04, 0x4B};
    EXPECT_TRUE(IsAcknowledgement(PS_CMD_APPLY, applyAck.data(), applyAck.size()));
}

// ---- search answers ----

TEST(DiscoveryRecordTest, OnlyDatagramsOfExactlyOneRecordAreAnswers) {
    const Bytes record = RecordBytes("LAN");
    for (std::size_t size : {0u, 1u, 35u, 37u, 72u}) {
        Bytes datagram(size, 0x41);
        EXPECT_FALSE(ParseDiscoveryDatagram(datagram.data(), datagram.size())) << size;
    }
    EXPECT_FALSE(ParseDiscoveryDatagram(nullptr, 36));
    auto parsed = ParseDiscoveryDatagram(record.data(), record.size());
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(std::equal(record.begin(), record.end(), parsed->bytes.begin()));
}

TEST(DiscoveryRecordTest, DisplayForms) {
    const DiscoveryRecord r = RecordFrom(RecordBytes("PrintServer01"));
    EXPECT_EQ(r.MacText(), "00:1a:2b:c3:d4:e5");
    EXPECT_EQ(r.FirmwareText(), "258");
    EXPECT_EQ(r.IpText(), "192.168.1.20");
    EXPECT_EQ(r.DeviceName(), "PrintServer01");
    EXPECT_EQ(r.Ip(), (Ipv4Octets{192, 168, 1, 20}));
    EXPECT_EQ(r.Mac(), (MacAddress{0x00, 0x1a, 0x2b, 0xc3, 0xd4, 0xe5}));
}

TEST(DiscoveryRecordTest, FirmwareIsUnsignedLittleEndian) {
    Bytes b = RecordBytes("x");
    b[15] = 0xFF, b[16] = 0xFF;
    EXPECT_EQ(RecordFrom(b).FirmwareText(), "65535");
    b[15] = 0x00, b[16] = 0x80;
    EXPECT_EQ(RecordFrom(b).FirmwareText(), "32768");
}

TEST(DiscoveryRecordTest, NamePaddedWithSpacesLosesThem) {
    Bytes b = RecordBytes("");
    std::fill(b.begin() + 19, b.end(), ' ');
    std::copy_n("Front desk", 10, b.begin() + 19);
    EXPECT_EQ(RecordFrom(b).DeviceName(), "Front desk");
    std::fill(b.begin() + 19, b.end(), ' ');
    EXPECT_EQ(RecordFrom(b).DeviceName(), "");
}

TEST(DiscoveryRecordTest, NameEndsAtTheFirstZero) {
    Bytes b = RecordBytes("");
    std::copy_n("AB  \0CD", 7, b.begin() + 19);
    EXPECT_EQ(RecordFrom(b).DeviceName(), "AB");
}

TEST(DiscoveryRecordTest, SeventeenByteNameWithoutTerminatorStaysInsideTheRecord) {
    const DiscoveryRecord r = RecordFrom(RecordBytes("ABCDEFGHIJKLMNOPQ"));
    EXPECT_EQ(r.DeviceName(), "ABCDEFGHIJKLMNOPQ");
    // The record is the last thing in the array: nothing past byte 35 is read.
    std::array<DiscoveryRecord, 2> two{r, RecordFrom(RecordBytes("second"))};
    EXPECT_EQ(two[0].DeviceName(), "ABCDEFGHIJKLMNOPQ");
    EXPECT_EQ(two[1].DeviceName(), "second");
}

// ---- configuration image ----

TEST(ConfigImageTest, FullAnswerFillsAllFourBlocks) {
    Bytes answer(256);
    std::iota(answer.begin(), answer.end(), std::uint8_t{0});
    ConfigImage image;
    image.Load(answer.data(), answer.size());
    EXPECT_EQ(image.blockA[0], 0);
    EXPECT_EQ(image.blockA[66], 66);
    EXPECT_EQ(image.blockB[0], 67);
    EXPECT_EQ(image.blockC[0], 130);
    EXPECT_EQ(image.blockD[0], 193);
    EXPECT_EQ(image.blockD[62], 255);
}

TEST(ConfigImageTest, ShortAnswerZeroFillsAndLeavesBlockD) {
    Bytes answer(190, 0xAA);
    ConfigImage image;
    image.blockC.fill(0x55);
    image.blockD.fill(0x77);
    image.Load(answer.data(), answer.size());
    EXPECT_TRUE(std::all_of(image.blockA.begin(), image.blockA.end(), [](auto b) { return b == 0xAA; }));
    EXPECT_TRUE(std::all_of(image.blockB.begin(), image.blockB.end(), [](auto b) { return b == 0xAA; }));
    EXPECT_TRUE(std::all_of(image.blockC.begin(), image.blockC.begin() + 60, [](auto b) { return b == 0xAA; }));
    EXPECT_TRUE(std::all_of(image.blockC.begin() + 60, image.blockC.end(), [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(image.blockD.begin(), image.blockD.end(), [](auto b) { return b == 0x77; }));
    // 255 bytes: still not the whole image, D unchanged.
    image.Load(Bytes(255, 1).data(), 255);
    EXPECT_EQ(image.blockD[0], 0x77);
    EXPECT_EQ(image.blockC[62], 1);
}

TEST(ConfigImageTest, LongerInputUsesOnlyTheImage) {
    Bytes answer(400, 0x33);
    ConfigImage image;
    image.Load(answer.data(), answer.size());
    EXPECT_EQ(image.blockD[62], 0x33);
    image.Load(nullptr, 10);
    EXPECT_EQ(image.blockA[0], 0);
    EXPECT_EQ(image.blockD[62], 0x33);
}

TEST(ConfigImageTest, AddressesAreStoredLastOctetFirst) {
    ConfigImage image;
    image.SetIpAddress({192, 168, 1, 20});
    image.SetGateway({192, 168, 1, 1});
    image.SetSubnetMask({255, 255, 255, 0});
    EXPECT_EQ(Bytes(image.blockA.begin() + 9, image.blockA.begin() + 21),
              (Bytes{20, 1, 168, 192, 1, 1, 168, 192, 0, 255, 255, 255}));
    EXPECT_EQ(image.IpAddress(), (Ipv4Octets{192, 168, 1, 20}));
    EXPECT_EQ(image.Gateway(), (Ipv4Octets{192, 168, 1, 1}));
    EXPECT_EQ(image.SubnetMask(), (Ipv4Octets{255, 255, 255, 0}));
}

TEST(ConfigImageTest, KnownFieldsSitWhereThePrintServerKeepsThem) {
    ConfigImage image;
    image.SetPrintPort(9100); // 0x238C
    EXPECT_EQ(image.blockB[12], 0x8C);
    EXPECT_EQ(image.blockB[13], 0x23);
    EXPECT_EQ(image.PrintPort(), 9100);

    image.SetDhcpFlag(ConfigImage::DHCP_ON);
    EXPECT_EQ(image.blockA[3], 0x00);
    EXPECT_TRUE(image.DhcpEnabled());
    image.blockA[3] = 0x01; // anything but 0x00 is off
    EXPECT_FALSE(image.DhcpEnabled());

    std::copy(kMac.begin(), kMac.end(), image.blockA.begin() + 53);
    EXPECT_EQ(image.Mac(), kMac);
}

// ---- against the simulated print server's own code ----

TEST(PrintServerWire, ProgramsFramesPassThePrintServersChecksAndNoAlteredOneDoes) {
    Bytes blockA(67), blockB(63, 0x1B);
    std::iota(blockA.begin(), blockA.end(), std::uint8_t{0x80});
    const struct {
        Bytes frame;
        std::uint8_t command;
        Bytes data;
    } cases[] = {
        {BuildSearchFrame(), 0x01, {}},
        {BuildAddressedFrame(PS_CMD_READ_CONFIG, kMac), 0x03, {}},
        {BuildAddressedFrame(PS_CMD_APPLY, kMac), 0x04, {}},
        {BuildAddressedFrame(PS_CMD_WRITE_A, kMac, blockA), 0x05, blockA},
        {BuildAddressedFrame(PS_CMD_WRITE_B, kMac, blockB), 0x06, blockB},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.command));
        std::string why;
        const auto frame = sim::ps::DecodeFrame(c.frame, &why);
        ASSERT_TRUE(frame) << why;
        EXPECT_EQ(frame->command, c.command);
        EXPECT_EQ(frame->data, c.data);
        if (c.command != 0x01) {
            EXPECT_EQ(frame->mac, kMac);
        }
        // Length, command, address, login, data and checksum are all checked.
        for (std::size_t i = 0; i < c.frame.size(); ++i) {
            Bytes altered = c.frame;
            altered[i] ^= 0x01;
            EXPECT_FALSE(sim::ps::DecodeFrame(altered)) << "byte " << i;
        }
    }
}

TEST(PrintServerWire, AcknowledgementsOfThePrintServerAreRecognised) {
    for (std::uint8_t command : {PS_CMD_APPLY, PS_CMD_WRITE_A, PS_CMD_WRITE_B}) {
        const Bytes ack = sim::ps::Ack(command);
        EXPECT_EQ(ack, (Bytes{0xFF, 0x01, command, 0x4B}));
        EXPECT_TRUE(IsAcknowledgement(command, ack.data(), ack.size()));
    }
}

TEST(PrintServerWire, SearchAnswerOfThePrintServerIsReadWhole) {
    const Bytes answer = sim::ps::SearchAnswer({192, 168, 1, 20}, {0x00, 0x1a, 0x2b, 0xc3, 0xd4, 0xe5}, 258, "PS-7");
    EXPECT_EQ(answer, (Bytes{0x54, 0x56, 0x50, 0x53, 0x01, 192,  168,  1,   20,  0x00, 0x1a, 0x2b,
                             0xc3, 0xd4, 0xe5, 0x02, 0x01, 0x00, 0x00, 'P', 'S', '-',  '7',  0,
                             0,    0,    0,    0,    0,    0,    0,    0,   0,   0,    0,    0}));
    const DiscoveryRecord r = RecordFrom(answer);
    EXPECT_EQ(r.IpText(), "192.168.1.20");
    EXPECT_EQ(r.MacText(), "00:1a:2b:c3:d4:e5");
    EXPECT_EQ(r.FirmwareText(), "258");
    EXPECT_EQ(r.DeviceName(), "PS-7");
}

TEST(PrintServerWire, ImageWrittenByThePrintServerIsReadByTheProgram) {
    for (const bool dhcp : {true, false}) {
        sim::ps::Image written{};
        for (std::size_t i = 0; i < written.size(); ++i)
            written[i] = static_cast<std::uint8_t>(i * 13 + 5);
        const std::uint8_t flag = dhcp ? 0x00 : 0xFF;
        sim::ps::Put(written, sim::ps::Field::Dhcp, std::span(&flag, 1));
        sim::ps::PutAddress(written, sim::ps::Field::Ip, {192, 168, 1, 20});
        sim::ps::PutAddress(written, sim::ps::Field::Gateway, {192, 168, 1, 1});
        sim::ps::PutAddress(written, sim::ps::Field::Mask, {255, 255, 255, 0});
        sim::ps::PutPort(written, 9100);
        // Where the description puts them: block A +3, +9, +13, +17 (last octet
        // first), block B (offset 67) +12 low byte first.
        EXPECT_EQ(written[3], flag);
        EXPECT_EQ(Bytes(written.begin() + 9, written.begin() + 21),
                  (Bytes{20, 1, 168, 192, 1, 1, 168, 192, 0, 255, 255, 255}));
        EXPECT_EQ(Bytes(written.begin() + 79, written.begin() + 81), (Bytes{0x8C, 0x23}));

        ConfigImage image;
        image.Load(written.data(), written.size());
        EXPECT_EQ(image.DhcpEnabled(), dhcp);
        EXPECT_EQ(image.IpAddress(), (Ipv4Octets{192, 168, 1, 20}));
        EXPECT_EQ(image.Gateway(), (Ipv4Octets{192, 168, 1, 1}));
        EXPECT_EQ(image.SubnetMask(), (Ipv4Octets{255, 255, 255, 0}));
        EXPECT_EQ(image.PrintPort(), 9100);
        EXPECT_EQ(image.blockD[62], written[255]);
    }
}
