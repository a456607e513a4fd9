// The simulated label printer fed directly, one byte at a time or in odd
// pieces, as a line may deliver the program's frames.
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

std::vector<Answer> Feed(LabelPrinterSim& printer, const Bytes& bytes, std::size_t chunk) {
    std::vector<Answer> answers;
    for (std::size_t i = 0; i < bytes.size(); i += chunk) {
        auto part = printer.Receive(bytes.data() + i, std::min(chunk, bytes.size() - i));
        answers.insert(answers.end(), part.begin(), part.end());
    }
    return answers;
}

TEST(LabelPrinterSim, FramesInPiecesAreTakenItemByItem) {
    PortSettings english;
    english.language = "English";
    LabelChangedMarks marks;
    marks.set();
    LabelSettingValues sent;
    for (const auto& info : LABEL_SETTINGS)
        if (info.IsList()) sent.selection[info.pos] = (info.pos + 1) % 2;
    sent.text[LS_PRINT_HOME_OFFSET] = "12.5";
    sent.text[LS_CUTTING_POSITION_OFFSET] = "-3";
    sent.text[LS_BLACK_MARK_AD_VALUE] = "27"; // ESC as a value byte
    Bytes bytes = BuildSettingsFrame(marks, sent, english);
    // Frames of other pages in between: network settings over USB, Wi-Fi, a stray byte.
    for (const char* other :
         {"1B 0D 53 1B 3B 01 C0 A8 01 14 C0 A8 01 01 FF FF FF 00 00 1B 10 45",
          "1B 0D 53 1B 3E 02 41 50 00 00 01 01 00 01 C0 A8 01 0B C0 A8 01 0B FF FF FF 00 00 1B 10 45", "78"}) {
        const Bytes b = Hex(other);
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    bytes.insert(bytes.end(), LB_FRAME_READ_SETTINGS.begin(), LB_FRAME_READ_SETTINGS.end());

    for (std::size_t chunk : {1u, 2u, 5u, 7u, 200u}) {
        LabelPrinterSim printer;
        const auto answers = Feed(printer, bytes, chunk);
        ASSERT_EQ(answers.size(), 1u) << chunk;
        EXPECT_EQ(printer.Setting(LS_PRINT_HOME_OFFSET), 100);
        EXPECT_EQ(printer.Setting(LS_CUTTING_POSITION_OFFSET), -24);
        EXPECT_EQ(printer.Setting(LS_BLACK_MARK_AD_VALUE), 27);
        EXPECT_EQ(printer.Counters().settingItems, 17u);
        EXPECT_EQ(printer.Counters().otherItems, 2u);
        EXPECT_EQ(printer.Counters().strayBytes, 1u);

        LabelSettingValues back;
        ApplySettingsReply(answers[0].bytes, english, back);
        LabelSettingValues expected = sent;
        expected.text[LS_PRINT_HOME_OFFSET] = "12.50";
        expected.text[LS_CUTTING_POSITION_OFFSET] = "-3.00";
        EXPECT_EQ(back, expected) << chunk;
    }
}

TEST(LabelPrinterSim, AScriptTakesThePlaceOfItsAnswers) {
    LabelPrinterSim printer;
    const Bytes query(LB_FRAME_READ_SETTINGS.begin(), LB_FRAME_READ_SETTINGS.end());
    printer.QueueAnswer(Answer{Hex("06")});
    auto answers = Feed(printer, query, 9);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].bytes, Hex("06"));
    answers = Feed(printer, query, 9);
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
    EXPECT_EQ(sim::LabelModelFromName("LB-600"), LabelModel::LB600);
    EXPECT_FALSE(sim::LabelModelFromName("TR-510"));
}

} // namespace
} // namespace pemberlux
