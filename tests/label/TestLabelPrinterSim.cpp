// The simulated label printer fed directly, one byte at a time or in odd
// pieces, as a line may deliver the program's frames; the frames it takes and
// the ones it refuses, and what it answers, byte for byte.
#include "LabelPrinterSim.h"
#include "LabelTestUtil.h"
#include "core/label/LabelCommands.h"

#include <gtest/gtest.h>

namespace pemberlux {
namespace {

using sim::Answer;
using sim::LabelModel;
using sim::LabelPrinterSim;
using test::Hex;
using test::HexText;

std::vector<Answer> Feed(LabelPrinterSim& printer, const Bytes& bytes, std::size_t chunk) {
    std::vector<Answer> answers;
    for (std::size_t i = 0; i < bytes.size(); i += chunk) {
        auto part = printer.Receive(bytes.data() + i, std::min(chunk, bytes.size() - i));
        answers.insert(answers.end(), part.begin(), part.end());
    }
    return answers;
}

const Bytes kReadSettings = Hex("1B 0D 53 1B 33 00 1B 10 45");

TEST(LabelPrinterSim, FramesInPiecesAreTakenWhole) {
    PortSettings english;
    english.language = "English";
    LabelChangedMarks marks;
    marks.set();
    LabelSettingValues sent;
    for (const auto& info : LABEL_SETTINGS)
        if (info.IsList()) sent.selection[info.pos] = (info.pos + 1) % 2;
    sent.text[LS_PRINT_HOME_OFFSET] = "12.5";
    sent.text[LS_CUTTING_POSITION_OFFSET] = "-3";
    sent.text[LS_BLACK_MARK_AD_VALUE] = "4123"; // 1B 10: ESC DLE as value bytes
    Bytes bytes = BuildLabelSettingsFrame(marks, sent, english);
    // Frames of other pages in between: network settings over USB, Wi-Fi, a stray byte.
    for (const char* other :
         {"1B 0D 53 1B 3B 01 C0 A8 01 14 C0 A8 01 01 FF FF FF 00 00 1B 10 45",
          "1B 0D 53 1B 3E 02 41 50 00 00 01 00 00 01 C0 A8 01 0B C0 A8 01 0B FF FF FF 00 00 1B 10 45", "78"}) {
        const Bytes b = Hex(other);
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    bytes.insert(bytes.end(), kReadSettings.begin(), kReadSettings.end());

    for (std::size_t chunk : {1u, 2u, 5u, 7u, 200u}) {
        LabelPrinterSim printer;
        const auto answers = Feed(printer, bytes, chunk);
        ASSERT_EQ(answers.size(), 1u) << chunk;
        EXPECT_EQ(printer.Setting(LS_PRINT_HOME_OFFSET), 100);
        EXPECT_EQ(printer.Setting(LS_CUTTING_POSITION_OFFSET), -24);
        EXPECT_EQ(printer.Setting(LS_BLACK_MARK_AD_VALUE), 4123);
        EXPECT_EQ(printer.Counters().settingItems, 17u);
        EXPECT_EQ(printer.Counters().setFrames, 1u);
        EXPECT_EQ(printer.Counters().otherItems, 2u);
        EXPECT_EQ(printer.Counters().strayBytes, 1u);
        EXPECT_EQ(printer.Counters().rejectedFrames, 0u);

        LabelSettingValues back;
        ApplyLabelSettingsReply(answers[0].bytes, english, back);
        LabelSettingValues expected = sent;
        expected.text[LS_PRINT_HOME_OFFSET] = "12.50";
        expected.text[LS_CUTTING_POSITION_OFFSET] = "-3.00";
        EXPECT_EQ(back, expected) << chunk;
    }
}

TEST(LabelPrinterSim, SettingsReplyLayout) {
    // Factory settings of an LB-610: model 61, 8 dots/mm, 9600 8N1; the settings
    // at their offsets; black mark AD value 200 at 33-34.
    LabelPrinterSim printer;
    EXPECT_EQ(HexText(Feed(printer, kReadSettings, 9).at(0).bytes),
              "1B 0D 53 33 2D 61 08 03 00 00 00 01 01 00 00 03 00 01 00 01 00 00 00 00 00 00 00 01 00 00 00 00 00 "
              "C8 00 03 02 00 00 00 00 00 1B 10 45");
}

TEST(LabelPrinterSim, TextAnswersEndWithAZeroByteUnlessToldNot) {
    LabelPrinterSim printer(LabelModel::LB710);
    const Bytes serial = Hex("1B 0D 53 1B 19 01 1B 10 45");
    EXPECT_EQ(Feed(printer, serial, 4).at(0).bytes, Hex("4C 42 37 31 30 2D 32 34 30 37 30 37 32 32 00"));
    printer.SetZeroAfterText(false);
    EXPECT_EQ(Feed(printer, serial, 4).at(0).bytes, Hex("4C 42 37 31 30 2D 32 34 30 37 30 37 32 32"));
    EXPECT_NE(printer.StateJson().find("\"zero_after_text\":false"), std::string::npos);
}

TEST(LabelPrinterSim, FramesItDoesNotKnowChangeNothingAndGetNoAnswer) {
    const char* const rejected[] = {
        "1B 0D 53 1B 27 01 1B 33 00 1B 10 45", // a setting and the query in one frame
        "1B 0D 53 1B 33 00 1B 33 00 1B 10 45", // the query twice
        "1B 0D 53 1B 77 01 1B 10 45",          // an item this printer does not know
        "1B 0D 53 1B 2C 64 1B 10 45",          // an offset cut to one byte
        "1B 0D 53 1B 27 1B 10 45",             // a list setting without its value
        "1B 0D 53 1B 23 13 1B 27 01 1B 10 45", // the serial line belongs in a frame of its own
        "1B 0D 53 27 01 1B 10 45",             // an item without ESC
        "1B 0D 53 1B 10 46",                   // no frame end; the next frame ends it
    };
    for (const char* frame : rejected) {
        SCOPED_TRACE(frame);
        LabelPrinterSim printer;
        Bytes bytes = Hex(frame);
        // A good frame after it is still understood.
        bytes.insert(bytes.end(), kReadSettings.begin(), kReadSettings.end());
        const auto answers = Feed(printer, bytes, 3);
        const sim::LabelCounters c = printer.Counters();
        EXPECT_EQ(c.rejectedFrames, 1u);
        EXPECT_EQ(c.settingItems, 0u);
        EXPECT_EQ(c.serialConfigSets, 0u);
        EXPECT_EQ(printer.SettingsReply(), LabelPrinterSim().SettingsReply());
        if (std::string(frame).ends_with("1B 10 46")) {
            // The query was swallowed by the broken frame: nothing answered at all.
            EXPECT_TRUE(answers.empty());
        } else {
            ASSERT_EQ(answers.size(), 1u);
            EXPECT_EQ(c.settingsQueries, 1u);
        }
    }
}

TEST(LabelPrinterSim, SerialLineAndEmptySetFrames) {
    LabelPrinterSim printer;
    EXPECT_TRUE(Feed(printer, Hex("1B 0D 53 1B 23 66 1B 10 45 1B 0D 53 1B 10 45"), 2).empty());
    EXPECT_EQ(printer.SerialConfig(), 0x66);
    const sim::LabelCounters c = printer.Counters();
    EXPECT_EQ(c.serialConfigSets, 1u);
    EXPECT_EQ(c.frames, 2u);
    EXPECT_EQ(c.setFrames, 0u); // the empty one carries no setting
    EXPECT_EQ(c.rejectedFrames, 0u);
}

TEST(LabelPrinterSim, AScriptTakesThePlaceOfItsAnswers) {
    LabelPrinterSim printer;
    printer.QueueAnswer(Answer{Hex("06")});
    auto answers = Feed(printer, kReadSettings, 9);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].bytes, Hex("06"));
    answers = Feed(printer, kReadSettings, 9);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].bytes.size(), LabelPrinterSim::kReplySize);
}

TEST(LabelPrinterSim, StateJson) {
    LabelPrinterSim printer(LabelModel::LB710);
    Feed(printer, Hex("1B 0D 53 1B 2D F0 FF 1B 10 45 1B 0D 53 1B 23 13 1B 10 45 1B 0D 4C 1B 0D 53 1B 33 01 1B 10 45"),
         4);
    const std::string json = printer.StateJson();
    for (const char* part :
         {"\"model\":\"LB-710\"", "\"cutting_position_offset\":-16", "\"print_speed\":2", "\"serial_config\":19",
          "\"baud_rate\":\"9600\"", "\"parity\":\"Odd\"", "\"self_tests\":1", "\"set_frames\":1",
          "\"rejected_frames\":1", "\"settings_queries\":0", "\"received_bytes\":31"})
        EXPECT_NE(json.find(part), std::string::npos) << part << " in " << json;
    EXPECT_EQ(sim::LabelModelFromName("LB-600"), LabelModel::LB600);
    EXPECT_FALSE(sim::LabelModelFromName("TR-510"));
}

} // namespace
} // namespace pemberlux
