// The simulated receipt printer fed directly, in pieces as a line may deliver
// the bytes: the frames it takes and refuses, its 14-byte reply, the restore
// command and the serial line byte, byte for byte.
#include "../label/LabelTestUtil.h"
#include "ReceiptPrinterSim.h"

#include <gtest/gtest.h>

namespace pemberlux {
namespace {

using sim::Answer;
using sim::Bytes;
using sim::ReceiptField;
using sim::ReceiptModel;
using sim::ReceiptPrinterSim;
using test::Hex;
using test::HexText;

std::vector<Answer> Feed(ReceiptPrinterSim& printer, const Bytes& bytes, std::size_t chunk) {
    std::vector<Answer> answers;
    for (std::size_t i = 0; i < bytes.size(); i += chunk) {
        auto part = printer.Receive(bytes.data() + i, std::min(chunk, bytes.size() - i));
        answers.insert(answers.end(), part.begin(), part.end());
    }
    return answers;
}

const Bytes QUERY = Hex("1B 0D 53 1B 33 00 1B 10 45");

TEST(ReceiptPrinterSim, FactoryReplies) {
    ReceiptPrinterSim tr510(ReceiptModel::TR510);
    auto answers = Feed(tr510, QUERY, 9);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(HexText(answers[0].bytes), "00 A1 03 00 00 00 00 55 00 02 05 01 00 02");
    ReceiptPrinterSim tr520(ReceiptModel::TR520);
    answers = Feed(tr520, QUERY, 9);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(HexText(answers[0].bytes), "00 A2 03 01 00 00 00 55 00 03 01 01 00 00");
    EXPECT_EQ(tr520.Counters().settingsQueries, 1u);
}

TEST(ReceiptPrinterSim, SetFramesInPiecesAreTakenWhole) {
    // Every item; the home distance 4123 units is 1B 10, a frame end's start, as value bytes.
    const Bytes set =
        Hex("1B 0D 53 1B 16 01 1B 34 00 1B 38 01 1B 3A 00 1B 25 01 1B 22 01 1B 2C 1B 10 1B 2D CE FE 1B 10 45");
    Bytes bytes = set;
    bytes.push_back(0x78); // a stray byte
    bytes.insert(bytes.end(), QUERY.begin(), QUERY.end());
    for (ReceiptModel model : {ReceiptModel::TR510, ReceiptModel::TR520}) {
        for (std::size_t chunk : {1u, 2u, 5u, 7u, 200u}) {
            SCOPED_TRACE(testing::Message() << sim::ReceiptModelName(model) << ", chunks of " << chunk);
            ReceiptPrinterSim printer(model);
            const auto answers = Feed(printer, bytes, chunk);
            ASSERT_EQ(answers.size(), 1u);
            const bool cutter = model == ReceiptModel::TR520;
            // A printer without a cutter takes the other items and keeps its cutter byte at 0.
            EXPECT_EQ(HexText(answers[0].bytes), cutter ? "01 A2 03 00 01 1B 10 CE FE 03 01 00 01 01"
                                                        : "01 A1 03 00 01 1B 10 CE FE 02 05 00 01 01");
            EXPECT_EQ(printer.Setting(ReceiptField::BlackMarkToHome), 4123);
            EXPECT_EQ(printer.Setting(ReceiptField::BlackMarkToCutter), -306);
            const sim::ReceiptCounters c = printer.Counters();
            EXPECT_EQ(c.settingItems, cutter ? 8u : 7u);
            EXPECT_EQ(c.ignoredItems, cutter ? 0u : 1u);
            EXPECT_EQ(c.setFrames, 1u);
            EXPECT_EQ(c.frames, 2u);
            EXPECT_EQ(c.strayBytes, 1u);
            EXPECT_EQ(c.rejectedFrames, 0u);
        }
    }
}

TEST(ReceiptPrinterSim, RestoreKeepsTheLanguageSetBeforeIt) {
    ReceiptPrinterSim printer(ReceiptModel::TR520);
    Feed(printer, Hex("1B 0D 53 1B 38 02 1B 22 01 1B 2C 39 00 1B 10 45 1B 0D 53 1B 23 9B 1B 10 45"), 4);
    EXPECT_EQ(printer.SerialConfig(), 0x9B);
    EXPECT_EQ(printer.Setting(ReceiptField::PaperWidth), 2);

    const auto answers = Feed(printer, Hex("1B 0D 53 1B 16 01 1B 10 45 1D 10 01"), 3);
    EXPECT_TRUE(answers.empty());
    EXPECT_EQ(printer.Counters().restores, 1u);
    EXPECT_EQ(printer.Counters().serialConfigSets, 1u);
    EXPECT_EQ(HexText(printer.SettingsReply()), "01 A2 03 01 00 00 00 55 00 03 01 01 00 00");

    // The restore command alone keeps the language too.
    Feed(printer, Hex("1D 10 01"), 1);
    EXPECT_EQ(printer.Setting(ReceiptField::Language), 1);
    EXPECT_EQ(printer.Counters().restores, 2u);
}

TEST(ReceiptPrinterSim, UnknownFramesChangeNothing) {
    ReceiptPrinterSim printer(ReceiptModel::TR520);
    const Bytes before = printer.SettingsReply();
    const char* rejected[] = {
        "1B 0D 53 1B 16 01 1B 33 00 1B 10 45", // a query inside a set frame
        "1B 0D 53 1B 16 01 1B 77 01 1B 10 45", // an item it does not know
        "1B 0D 53 1B 33 01 1B 10 45",          // the query with another value byte
        "1B 0D 53 1B 2C 39 1B 10 45",          // a distance cut short
    };
    for (const char* frame : rejected)
        EXPECT_TRUE(Feed(printer, Hex(frame), 3).empty()) << frame;
    // Not a restore: 1D 10 02, and bytes of other printers' commands.
    Feed(printer, Hex("1D 10 02 1B 40 0A"), 2);
    EXPECT_EQ(printer.SettingsReply(), before);
    EXPECT_EQ(printer.Counters().rejectedFrames, 4u);
    EXPECT_EQ(printer.Counters().restores, 0u);
    EXPECT_EQ(printer.Counters().strayBytes, 6u);
}

TEST(ReceiptPrinterSim, FaultsApplyToItsAnswers) {
    ReceiptPrinterSim printer(ReceiptModel::TR510);
    sim::Faults faults;
    faults.shortAnswer = 4;
    printer.SetFaults(faults);
    const auto answers = Feed(printer, QUERY, 9);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(HexText(answers[0].bytes), "00 A1 03 00");
    EXPECT_NE(printer.StateJson().find("\"parity\":\"None\""), std::string::npos);
}

} // namespace
} // namespace pemberlux
