// The Wi-Fi and Bluetooth frames and checks of the program, the decode of the
// Bluetooth answer, and the simulated printer's own reading of the same bytes.
#include "LabelPrinterSim.h"
#include "WirelessTestUtil.h"
#include "core/base/UiText.h"
#include "core/wireless/BluetoothFrames.h"
#include "core/wireless/WifiFrames.h"

#include <gtest/gtest.h>

namespace pemberlux {
namespace {

using test::AsciiBytes;
using test::HexBytes;
using test::Join;

TEST(WifiFrames, DefaultsGiveTheThirtySevenByteFrame) {
    const Bytes frame = BuildWifiSettingsFrame(WifiSettings{});
    EXPECT_EQ(frame, HexBytes("1B 0D 53 1B 3E 02 4C 42 2D 36 31 30 20 57 46 00 00 01 00 00 01 "
                              "C0 A8 01 0B C0 A8 01 0B FF FF FF 00 00 1B 10 45"));
    EXPECT_EQ(frame.size(), 37u);
}

TEST(WifiFrames, StaticAddressesGoOutAsAddressGatewayMask) {
    WifiSettings s;
    s.mode = WIFI_MODE_STA;
    s.ssid = "shop";
    s.dhcp = WIFI_DHCP_DISABLE;
    s.ip = {10, 1, 2, 3};
    s.gateway = {10, 1, 2, 254};
    s.mask = {255, 255, 0, 0};
    EXPECT_EQ(BuildWifiSettingsFrame(s), HexBytes("1B 0D 53 1B 3E 00 73 68 6F 70 00 00 01 00 00 01 "
                                                  "0A 01 02 03 0A 01 02 FE FF FF 00 00 01 1B 10 45"));
}

TEST(WifiFrames, KeysGoOutAsCharactersOrHexPairs) {
    WifiSettings s;
    s.ssid = "A";
    s.encryption = WIFI_ENCRYPTION_WEP64;
    s.keyFormat = WIFI_KEY_HEX;
    s.key = "0123456789";
    const Bytes hex = BuildWifiSettingsFrame(s);
    EXPECT_EQ(Bytes(hex.begin() + 5, hex.end() - 17), HexBytes("02 41 00 01 00 01 01 23 45 67 89 00"));
    s.encryption = 6;
    s.keyFormat = WIFI_KEY_ASCII;
    s.key = "secret12";
    const Bytes ascii = BuildWifiSettingsFrame(s);
    EXPECT_EQ(Bytes(ascii.begin() + 5, ascii.end() - 17),
              Join({HexBytes("02 41 00 06 01 01"), AsciiBytes("secret12"), HexBytes("00")}));
    // Without encryption no key goes out, in either format.
    for (int format : {WIFI_KEY_ASCII, WIFI_KEY_HEX}) {
        s.encryption = WIFI_ENCRYPTION_NONE;
        s.keyFormat = format;
        s.key = "abcd";
        const Bytes none = BuildWifiSettingsFrame(s);
        EXPECT_EQ(Bytes(none.begin() + 5, none.end() - 17),
                  HexBytes(format == WIFI_KEY_ASCII ? "02 41 00 00 01 00 00" : "02 41 00 00 00 00 00"));
    }
}

TEST(WifiFrames, KeyRules) {
    struct Case {
        int encryption;
        int format;
        std::string key;
        bool valid;
    };
    const std::string hex64(64, 'a');
    const Case cases[] = {
        {1, WIFI_KEY_HEX, "0123456789", true},
        {1, WIFI_KEY_HEX, "012345678", false},
        {1, WIFI_KEY_HEX, "012345678G", false},
        {1, WIFI_KEY_ASCII, "abcde", true},
        {1, WIFI_KEY_ASCII, "abcdef", false},
        {2, WIFI_KEY_ASCII, "abcdefghijklm", true},
        {2, WIFI_KEY_HEX, std::string(26, 'F'), true},
        {2, WIFI_KEY_HEX, std::string(24, 'F'), false},
        {6, WIFI_KEY_ASCII, std::string(63, 'x'), true},
        {6, WIFI_KEY_ASCII, std::string(64, 'x'), false},
        {3, WIFI_KEY_ASCII, "1234567", false},
        {3, WIFI_KEY_ASCII, "12345678", true},
        {3, WIFI_KEY_HEX, std::string(17, '1'), false}, // odd: the last digit would be lost
        {3, WIFI_KEY_HEX, std::string(16, '1'), true},
        {5, WIFI_KEY_HEX, hex64 + hex64, true},
        {5, WIFI_KEY_HEX, hex64 + hex64 + "00", false},
        {6, WIFI_KEY_ASCII, "p\xC3\xA4sswort", false},
        {0, WIFI_KEY_ASCII, "", true},
        // A zero byte would end the key early at the module.
        {1, WIFI_KEY_HEX, "0011223344", false},
        {3, WIFI_KEY_HEX, "1122334455667700", false},
        {1, WIFI_KEY_HEX, "1000000001", false},
        {1, WIFI_KEY_HEX, "1001010101", true}, // "00" across two pairs is no zero byte
        {1, WIFI_KEY_ASCII, std::string("ab\0de", 5), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WifiKeyValid(c.encryption, c.format, c.key), c.valid) << c.encryption << " " << c.key;
}

TEST(WifiFrames, Addresses) {
    EXPECT_EQ(ParseIpv4("192.168.1.11"), (Ipv4{192, 168, 1, 11}));
    for (const char* bad : {"", "192.168.1", "192.168.1.256", "1.2.3.4.", "1..2.3", "a.b.c.d", "1.2.3.4 "})
        EXPECT_FALSE(ParseIpv4(bad).has_value()) << bad;
    EXPECT_EQ(FormatIpv4({255, 255, 255, 0}), "255.255.255.0");
}

TEST(BluetoothFrames, SendFrameAndFixedCommands) {
    EXPECT_EQ(BuildBluetoothSendFrame("Printer01", "1234"),
              HexBytes("1B 0D 48 50 72 69 6E 74 65 72 30 31 00 00 00 00 00 00 00 31 32 33 34 00 10"));
    // A name that fills its field has no zero after it.
    EXPECT_EQ(BuildBluetoothSendFrame("Office-Printer16", "0000"),
              HexBytes("1B 0D 48 4F 66 66 69 63 65 2D 50 72 69 6E 74 65 72 31 36 30 30 30 30 00 10"));
    EXPECT_EQ(Bytes(BT_FRAME_RESTORE.begin(), BT_FRAME_RESTORE.end()), HexBytes("1B 0D 49"));
    EXPECT_EQ(Bytes(BT_FRAME_READ.begin(), BT_FRAME_READ.end()), HexBytes("1B 0D 47"));
}

TEST(BluetoothFrames, Validation) {
    const std::string badName = "Please enter a valid Bluetooth name !";
    const std::string badPassword = "Please enter a valid password !";
    const struct {
        const char* name;
        const char* password;
        std::string says; // in English; empty: accepted
    } cases[] = {
        {"Printer01", "1234", ""},
        {"P", "1234", ""},
        {"Office-Printer16", "1234", ""},       // 16 characters: the whole field
        {"Office-Printer-17", "1234", badName}, // one more than the field holds
        {"", "1234", badName},
        {"", "12", badName}, // the name is told first
        {"B\xC3\xBCro", "1234", badName},
        {"Office", "123", badPassword},
        {"Office", "12345", badPassword},
        {"Office", "12\xC3\xA9", badPassword},
    };
    for (const auto& c : cases) {
        const auto message = CheckBluetoothInputs(c.name, c.password);
        EXPECT_EQ(message ? LoadUiString(*message, LANG_ENGLISH) : "", c.says) << c.name << " / " << c.password;
    }
}

TEST(BluetoothFrames, AnswerDecode) {
    const auto answer = HexBytes("00 1B 35 0A FF 12 31 32 33 34 4F 66 66 69 63 65 00 41 41 00 00 00 00 00 00 00");
    const auto info = DecodeBluetoothAnswer(answer);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->mac, "00-1B-35-0A-FF-12");
    EXPECT_EQ(info->password, "1234");
    EXPECT_EQ(info->name, "Office"); // up to the first zero byte
    // A byte above 7F is the character of that code.
    auto latin = answer;
    latin[10] = 0xE9;
    EXPECT_EQ(DecodeBluetoothAnswer(latin)->name, "\xC3\xA9"
                                                  "ffice");
    // Part of an answer is no answer.
    EXPECT_FALSE(DecodeBluetoothAnswer(std::span(answer).first(25)).has_value());
}

TEST(BluetoothFrames, ReadWaitsTenSecondsForTwentySixBytes) {
    const ReplyRule rule = BluetoothReadRule();
    EXPECT_EQ(rule.timeout, std::chrono::milliseconds(10000));
    const std::vector<std::uint8_t> bytes(26, 0x41);
    EXPECT_FALSE(rule.complete(bytes.data(), 25));
    EXPECT_TRUE(rule.complete(bytes.data(), 26));
}

// The simulated printer reads the bytes of the description on its own.
void Feed(sim::LabelPrinterSim& printer, const std::vector<std::uint8_t>& bytes, std::size_t chunk,
          std::vector<std::vector<std::uint8_t>>* answers = nullptr) {
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
        const auto got = printer.Receive(bytes.data() + at, std::min(chunk, bytes.size() - at));
        if (answers)
            for (const auto& a : got)
                answers->push_back(a.bytes);
    }
}

TEST(SimWirelessModules, WifiFrameIsTakenWholeEvenWithFrameBytesInTheKey) {
    // A WPA HEX key whose bytes hold 00 01 and a frame end, then a Wi-Fi reset.
    const auto frame = HexBytes("1B 0D 53 1B 3E 00 68 6F 6D 65 00 03 00 01 "
                                "1B 10 45 00 01 22 33 44 "
                                "00 01 0A 00 00 05 0A 00 00 01 FF 00 00 00 01 1B 10 45");
    for (std::size_t chunk : {1u, 3u, 64u}) {
        sim::LabelPrinterSim printer;
        Feed(printer, frame, chunk);
        const sim::WifiModuleState wifi = printer.Wifi();
        EXPECT_EQ(wifi.mode, 0x00);
        EXPECT_EQ(std::string(wifi.ssid.begin(), wifi.ssid.end()), "home");
        EXPECT_EQ(wifi.encryption, 3);
        EXPECT_EQ(wifi.keyFormat, 0);
        EXPECT_EQ(wifi.key, HexBytes("1B 10 45 00 01 22 33 44"));
        EXPECT_EQ(wifi.ip, (std::array<std::uint8_t, 4>{10, 0, 0, 5}));
        EXPECT_EQ(wifi.gateway, (std::array<std::uint8_t, 4>{10, 0, 0, 1}));
        EXPECT_EQ(wifi.mask, (std::array<std::uint8_t, 4>{255, 0, 0, 0}));
        EXPECT_EQ(wifi.dhcp, 0x01);
        EXPECT_EQ(printer.Counters().wifiSets, 1u);
        EXPECT_EQ(printer.Counters().rejectedFrames, 0u);
        Feed(printer, HexBytes("1B 0D 53 1B 40 01 1B 10 45"), chunk);
        EXPECT_EQ(printer.Wifi(), printer.FactoryWifi());
    }
}

TEST(SimWirelessModules, WifiFramesThatDisagreeWithThemselvesAreRejected) {
    for (const char* bad : {
             // "None" with the key flag set
             "1B 0D 53 1B 3E 02 41 00 00 01 01 00 01 C0 A8 01 0B C0 A8 01 0B FF FF FF 00 00 1B 10 45",
             // mode 01
             "1B 0D 53 1B 3E 01 41 00 00 01 00 00 01 C0 A8 01 0B C0 A8 01 0B FF FF FF 00 00 1B 10 45",
             // DHCP 02
             "1B 0D 53 1B 3E 02 41 00 00 01 00 00 01 C0 A8 01 0B C0 A8 01 0B FF FF FF 00 02 1B 10 45",
         }) {
        sim::LabelPrinterSim printer;
        Feed(printer, HexBytes(bad), 5);
        EXPECT_EQ(printer.Counters().rejectedFrames, 1u) << bad;
        EXPECT_EQ(printer.Wifi(), printer.FactoryWifi()) << bad;
    }
}

TEST(SimWirelessModules, BluetoothSetBeepsRestoreAndQueryAnswer) {
    sim::LabelPrinterSim printer;
    std::vector<std::vector<std::uint8_t>> answers;
    Feed(printer,
         Join({HexBytes("1B 0D 48 50 72 69 6E 74 65 72 30 31 00 00 00 00 00 00 00 31 32 33 34 00 10"),
               HexBytes("1B 0D 47")}),
         4, &answers);
    EXPECT_EQ(printer.Counters().beeps, 1u);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0], HexBytes("00 1B 35 0A FF 12 31 32 33 34 50 72 69 6E 74 65 72 30 31 00 00 00 00 00 00 00"));

    // An empty name, or a name with bytes after its end, is no setting: no beep.
    Feed(printer, HexBytes("1B 0D 48 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 31 32 33 34 00 10"), 25);
    Feed(printer, HexBytes("1B 0D 48 41 00 42 00 00 00 00 00 00 00 00 00 00 00 00 00 31 32 33 34 00 10"), 25);
    EXPECT_EQ(printer.Counters().beeps, 1u);
    EXPECT_EQ(printer.Counters().rejectedFrames, 2u);
    EXPECT_EQ(printer.Bluetooth().name, "Printer01");

    Feed(printer, HexBytes("1B 0D 49"), 1);
    EXPECT_EQ(printer.Bluetooth().name, "LB-610");
    EXPECT_EQ(printer.Bluetooth().password, "0000");
}

} // namespace
} // namespace pemberlux
