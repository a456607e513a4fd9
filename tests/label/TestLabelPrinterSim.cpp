// The simulated label printer: what it answers to the frames the program
// builds, fed in pieces as a line delivers them.
#include "LabelPrinterSim.h"
#include "LabelTestUtil.h"
#include "label/LabelCommands.h"

#include <gtest/gtest.h>

namespace pemberlux {
namespace {

using sim::Answer;
using sim::LabelModel;
using sim::LabelPrinterSim;
using test::Hex;
using test::HexText;

PortSettings English() {
    PortSettings s;
    s.modelName = "LB-610";
    s.language = "English";
    return s;
}

// Feeds `bytes` in chunks of `chunk` bytes and collects every answer.
std::vector<Answer> Feed(LabelPrinterSim& printer, const Bytes& bytes, std::size_t chunk = 1) {
    std::vector<Answer> answers;
    for (std::size_t i = 0; i < bytes.size(); i += chunk) {
        const std::size_t n = std::min(chunk, bytes.size() - i);
        auto part = printer.Receive(bytes.data() + i, n);
        if (i + n < bytes.size()) {
            EXPECT_TRUE(part.empty()) << "answered before the frame was complete";
        }
        answers.insert(answers.end(), part.begin(), part.end());
    }
    return answers;
}

template <std::size_t N> Bytes B(const std::array<std::uint8_t, N>& frame) {
    return Bytes(frame.begin(), frame.end());
}

LabelSettingValues ReadBack(LabelPrinterSim& printer, const PortSettings& settings = English()) {
    const auto answers = Feed(printer, B(LB_FRAME_READ_SETTINGS), 4);
    EXPECT_EQ(answers.size(), 1u);
    LabelSettingValues values;
    if (!answers.empty()) ApplySettingsReply(answers[0].bytes, settings, values);
    return values;
}

TEST(LabelPrinterSim, SettingsReplyCarriesTheFactorySettings) {
    LabelPrinterSim printer(LabelModel::LB610);
    const auto answers = Feed(printer, B(LB_FRAME_READ_SETTINGS));
    ASSERT_EQ(answers.size(), 1u);
    const Bytes& reply = answers[0].bytes;
    ASSERT_EQ(reply.size(), LabelPrinterSim::kReplySize);
    EXPECT_EQ(HexText(Bytes(reply.begin(), reply.begin() + 8)), "1B 0D 53 33 2D 61 08 03");
    EXPECT_EQ(HexText(Bytes(reply.end() - 3, reply.end())), "1B 10 45");

    PortSettings line = English();
    ASSERT_TRUE(ApplySerialConfig(reply, line));
    EXPECT_EQ(line.baudRate, "9600");
    EXPECT_EQ(line.parity, "None");

    LabelSettingValues values;
    ApplySettingsReply(reply, English(), values);
    EXPECT_EQ(values.selection[LS_PRINT_METHOD], 1); // direct thermal
    EXPECT_EQ(values.selection[LS_PRINT_SPEED], 2);  // "3"
    EXPECT_EQ(values.selection[LS_EMULATION], 2);    // TSPL
    EXPECT_EQ(values.selection[LS_PAPER_SENSOR_SELECTION], 1);
    EXPECT_EQ(values.text[LS_PRINT_HOME_OFFSET], "0.00");
    EXPECT_EQ(values.text[LS_BLACK_MARK_AD_VALUE], "200");
    EXPECT_EQ(printer.Counters().settingsQueries, 1u);
}

TEST(LabelPrinterSim, SetFrameInPiecesChangesItsSettingsItemByItem) {
    LabelPrinterSim printer;
    LabelChangedMarks marks;
    marks.set();
    LabelSettingValues sent;
    for (const auto& info : LABEL_SETTINGS)
        if (info.IsList()) sent.selection[info.pos] = (info.pos + 1) % 2;
    sent.selection[LS_PRINT_DENSITY] = 5;
    sent.selection[LS_PRINT_SPEED] = 0;
    sent.text[LS_PRINT_HOME_OFFSET] = "12.5";
    sent.text[LS_CUTTING_POSITION_OFFSET] = "-3";
    // 27 is ESC: a value byte that looks like the start of an item.
    sent.text[LS_BLACK_MARK_AD_VALUE] = "27";
    const Bytes frame = BuildSettingsFrame(marks, sent, English());

    for (std::size_t chunk : {1u, 2u, 5u, 64u}) {
        LabelPrinterSim p;
        EXPECT_TRUE(Feed(p, frame, chunk).empty()) << "a set frame is not answered";
        EXPECT_EQ(p.Setting(LS_PRINT_HOME_OFFSET), 100) << chunk;
        EXPECT_EQ(p.Setting(LS_CUTTING_POSITION_OFFSET), -24) << chunk;
        EXPECT_EQ(p.Setting(LS_BLACK_MARK_AD_VALUE), 27) << chunk;
        EXPECT_EQ(p.Setting(LS_PRINT_SPEED), 1) << chunk;
        EXPECT_EQ(p.Setting(LS_EMULATION), 1) << chunk; // ZPL in the three-item list
        EXPECT_EQ(p.Counters().settingItems, 17u);
        EXPECT_EQ(p.Counters().strayBytes, 0u);
        EXPECT_EQ(ReadBack(p), [&] {
            LabelSettingValues expected = sent;
            expected.text[LS_PRINT_HOME_OFFSET] = "12.50";
            expected.text[LS_CUTTING_POSITION_OFFSET] = "-3.00";
            return expected;
        }());
    }

    // Only Peeler, sent twice: the second frame changes nothing more.
    LabelChangedMarks peeler;
    peeler.set(LS_PEELER);
    sent.selection[LS_PEELER] = 1;
    Feed(printer, BuildSettingsFrame(peeler, sent, English()));
    Feed(printer, BuildSettingsFrame(peeler, sent, English()));
    EXPECT_EQ(printer.Setting(LS_PEELER), 1);
    EXPECT_EQ(printer.Counters().setFrames, 2u);
    EXPECT_EQ(printer.Setting(LS_PAGE_MODE), LabelPrinterSim::FactorySetting(LabelModel::LB610, LS_PAGE_MODE));
}

TEST(LabelPrinterSim, NegativeAdValueReadsBackUnsigned) {
    LabelPrinterSim printer;
    LabelChangedMarks marks;
    marks.set(LS_BLACK_MARK_AD_VALUE);
    LabelSettingValues values;
    values.text[LS_BLACK_MARK_AD_VALUE] = "-1";
    Feed(printer, BuildSettingsFrame(marks, values, English()), 3);
    EXPECT_EQ(ReadBack(printer).text[LS_BLACK_MARK_AD_VALUE], "65535");
}

TEST(LabelPrinterSim, ResetRestoresFactorySettingsAndSerialLine) {
    LabelPrinterSim printer(LabelModel::LB710);
    Feed(printer, Hex("1B 0D 53 1B 23 A5 1B 30 04 1B 2C 10 00 1B 10 45"), 3);
    EXPECT_EQ(printer.SerialConfig(), 0xA5);
    EXPECT_EQ(printer.Setting(LS_PRINT_SPEED), 4);
    EXPECT_EQ(printer.Setting(LS_PRINT_HOME_OFFSET), 16);

    Feed(printer, B(LB_FRAME_RESTORE_FACTORY));
    EXPECT_EQ(printer.Counters().factoryResets, 1u);
    EXPECT_EQ(printer.SerialConfig(), 0x03);
    for (int pos = 0; pos < LABEL_SETTING_COUNT; ++pos)
        EXPECT_EQ(printer.Setting(pos), LabelPrinterSim::FactorySetting(LabelModel::LB710, pos)) << pos;
    EXPECT_EQ(printer.Setting(LS_PRINT_SPEED), 2); // the 300-DPI model runs slower
}

TEST(LabelPrinterSim, TextQueriesSelfTestAndCalibration) {
    LabelPrinterSim printer(LabelModel::LB600);
    auto text = [&](const LabelFrame9& frame) {
        const auto answers = Feed(printer, B(frame), 2);
        EXPECT_EQ(answers.size(), 1u);
        return answers.empty() ? std::string() : DecodeTextReply(answers[0].bytes, 1033);
    };
    EXPECT_EQ(text(LB_FRAME_READ_SERIAL_NUMBER), "LB600-24061108");
    EXPECT_EQ(text(LB_FRAME_READ_FIRMWARE_VERSION), "LB-600 V1.09 2023-11-02");
    EXPECT_EQ(text(LB_FRAME_PRINT_STATISTICS), "3025.77 m");

    // Self-test (unframed) and calibration are not answered; they feed paper.
    EXPECT_TRUE(Feed(printer, B(LB_FRAME_SELF_TEST)).empty());
    EXPECT_TRUE(Feed(printer, B(LB_FRAME_CALIBRATE)).empty());
    EXPECT_TRUE(Feed(printer, B(LB_FRAME_SELF_TEST)).empty());
    EXPECT_EQ(printer.Counters().selfTests, 2u);
    EXPECT_EQ(printer.Counters().calibrations, 1u);
    EXPECT_EQ(text(LB_FRAME_PRINT_STATISTICS), "3026.03 m");
}

TEST(LabelPrinterSim, FramesOfOtherPagesKeepItInStep) {
    LabelPrinterSim printer;
    // Network settings over USB, Wi-Fi settings, stray bytes, then a query.
    Bytes bytes = Hex("1B 0D 53 1B 3B 01 C0 A8 01 14 C0 A8 01 01 FF FF FF 00 00 1B 10 45");
    const Bytes wifi = Hex("1B 0D 53 1B 3E 02 41 50 00 00 01 01 00 01 C0 A8 01 0B C0 A8 01 0B FF FF FF 00 00 1B 10 45");
    bytes.insert(bytes.end(), wifi.begin(), wifi.end());
    bytes.push_back('x');
    bytes.insert(bytes.end(), LB_FRAME_READ_SETTINGS.begin(), LB_FRAME_READ_SETTINGS.end());
    const auto answers = Feed(printer, bytes, 7);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].bytes, printer.SettingsReply());
    EXPECT_EQ(printer.Counters().otherItems, 2u);
    EXPECT_EQ(printer.Counters().strayBytes, 1u);
}

TEST(LabelPrinterSim, AScriptTakesThePlaceOfItsAnswers) {
    LabelPrinterSim printer;
    printer.QueueAnswer(Answer{Hex("06")});
    auto answers = Feed(printer, B(LB_FRAME_READ_SETTINGS), 9);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].bytes, Hex("06"));
    answers = Feed(printer, B(LB_FRAME_READ_SETTINGS), 9);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].bytes.size(), LabelPrinterSim::kReplySize);
}

TEST(LabelPrinterSim, StateJson) {
    LabelPrinterSim printer(LabelModel::LB710);
    Feed(printer, Hex("1B 0D 53 1B 2D F0 FF 1B 23 13 1B 10 45 1B 0D 4C"), 4);
    const std::string json = printer.StateJson();
    for (const char* part : {"\"model\":\"LB-710\"", "\"cutting_position_offset\":-16", "\"print_speed\":2",
                             "\"serial_config\":19", "\"baud_rate\":\"9600\"", "\"parity\":\"Odd\"", "\"self_tests\":1",
                             "\"set_frames\":1", "\"received_bytes\":16"})
        EXPECT_NE(json.find(part), std::string::npos) << part << " in " << json;
    EXPECT_EQ(json.front(), '{');
    EXPECT_EQ(json.back(), '}');
}

TEST(LabelPrinterSim, NamesOfModels) {
    EXPECT_EQ(sim::LabelModelFromName("LB-710"), LabelModel::LB710);
    EXPECT_EQ(sim::LabelModelFromName("LB-600"), LabelModel::LB600);
    EXPECT_FALSE(sim::LabelModelFromName("TR-510"));
    EXPECT_EQ(LabelPrinterSim(LabelModel::LB600).ModelName(), "LB-600");
    EXPECT_NE(LabelPrinterSim::FactorySettingsText(LabelModel::LB610).find("print_speed = 3"), std::string::npos);
}

} // namespace
} // namespace pemberlux
