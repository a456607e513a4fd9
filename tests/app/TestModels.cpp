// The model table's lookups: names in both languages, names the table doesn't
// know, and names stored by an older or other-language run of the program.
#include "core/base/Models.h"
#include "core/base/UiText.h"
#include "core/port/PrinterPort.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>

namespace pemberlux {
namespace {

std::optional<ModelId> IdOf(const PrinterModel* model) {
    return model ? std::optional<ModelId>(model->id) : std::nullopt;
}

TEST(ModelTable, ListOrderAndNamesInBothLanguages) {
    struct Row {
        ModelId id;
        const char* english;
        const char* chinese;
    } const rows[] = {
        {ModelId::LB610, "LB-610", "Label Printer(200DPI)"},
        {ModelId::LB710, "LB-710", "Label Printer(300DPI)"},
        {ModelId::TR510, "TR-510", "TR-510"},
        {ModelId::TR520, "TR-520", "TR-530"},
        {ModelId::LB600, "LB-600", "LB-600"},
    };
    for (int position = 0; position < 5; ++position) {
        const Row& row = rows[position];
        SCOPED_TRACE(row.english);
        const PrinterModel* model = ModelAt(position);
        ASSERT_NE(model, nullptr);
        EXPECT_EQ(model->id, row.id);
        EXPECT_EQ(&ModelById(row.id), model);
        EXPECT_EQ(ModelName(*model, LANG_ENGLISH), row.english);
        EXPECT_EQ(ModelName(*model, LANG_CHINESE), row.chinese);
    }
    EXPECT_EQ(ModelAt(-1), nullptr); // no selection
    EXPECT_EQ(ModelAt(5), nullptr);
    // LB-600 is in the English list only.
    EXPECT_TRUE(IsListed(ModelById(ModelId::LB600), "English"));
    EXPECT_FALSE(IsListed(ModelById(ModelId::LB600), "Chinese"));
    EXPECT_FALSE(IsListed(ModelById(ModelId::LB600), "Klingon"));
    EXPECT_TRUE(IsListed(ModelById(ModelId::TR520), "Chinese"));
}

TEST(ModelTable, NamesAreFoundInEitherLanguageAndOnlyExactly) {
    struct Case {
        const char* name;
        std::optional<ModelId> either;
        std::optional<ModelId> english;
        std::optional<ModelId> chinese;
    } const cases[] = {
        {"LB-610", ModelId::LB610, ModelId::LB610, std::nullopt},
        {"Label Printer(200DPI)", ModelId::LB610, std::nullopt, ModelId::LB610},
        {"Label Printer(300DPI)", ModelId::LB710, std::nullopt, ModelId::LB710},
        {"TR-510", ModelId::TR510, ModelId::TR510, ModelId::TR510},
        {"TR-520", ModelId::TR520, ModelId::TR520, std::nullopt},
        {"TR-530", ModelId::TR520, std::nullopt, ModelId::TR520},
        {"LB-600", ModelId::LB600, ModelId::LB600, ModelId::LB600},
        // Not a model: case, blanks, a cut name, another maker's, the reader's placeholder.
        {"lb-610", std::nullopt, std::nullopt, std::nullopt},
        {"label printer(200dpi)", std::nullopt, std::nullopt, std::nullopt},
        {" TR-510", std::nullopt, std::nullopt, std::nullopt},
        {"TR-510 ", std::nullopt, std::nullopt, std::nullopt},
        {"Label Printer", std::nullopt, std::nullopt, std::nullopt},
        {"XP-1", std::nullopt, std::nullopt, std::nullopt},
        {"<No Name>", std::nullopt, std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IdOf(ModelByName(c.name)), c.either);
        EXPECT_EQ(IdOf(ModelByName(c.name, LANG_ENGLISH)), c.english);
        EXPECT_EQ(IdOf(ModelByName(c.name, LANG_CHINESE)), c.chinese);
    }
}

TEST(ModelTable, StoredNamesBecomeTheNameTheListShows) {
    struct Case {
        const char* language;
        const char* stored;
        const char* shown;
    } const cases[] = {
        // Written by a run in the other language.
        {"English", "Label Printer(200DPI)", "LB-610"},
        {"English", "TR-530", "TR-520"},
        {"Chinese", "LB-710", "Label Printer(300DPI)"},
        {"Chinese", "TR-520", "TR-530"},
        // LB-600 has no entry in the Chinese list: the 200 DPI label printer stands in.
        {"Chinese", "LB-600", "Label Printer(200DPI)"},
        {"English", "LB-600", "LB-600"},
        {"Chinese", "TR-510", "TR-510"},
        // Names the table doesn't know, and languages it doesn't know, are kept.
        {"English", "XP-1", "XP-1"},
        {"Chinese", "<No Name>", "<No Name>"},
        {"English", "", ""},
        {"Klingon", "TR-530", "TR-530"},
        {"english", "TR-530", "TR-530"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ModelNameIn(c.stored, c.language), c.shown) << c.language << " " << c.stored;
}

TEST(ModelTable, NameFollowsTheThreadLanguage) {
    const PrinterModel& tr520 = ModelById(ModelId::TR520);
    std::string english, chinese;
    std::thread([&] {
        SetThreadUiLanguage(LANG_ENGLISH);
        english = ModelName(tr520);
        SetThreadUiLanguage(LANG_CHINESE);
        chinese = ModelName(tr520);
    }).join();
    EXPECT_EQ(english, "TR-520");
    EXPECT_EQ(chinese, "TR-530");
}

TEST(ModelTable, UsbIdsOfAModelFoundByItsName) {
    struct Case {
        const char* name;
        int vendorOnly;
        const char* secondId;
    } const cases[] = {
        {"TR-530", 0, "41A3"},
        {"TR-510", 0, "41A2"},
        {"Label Printer(300DPI)", 1, "5E10"},
        {"LB-600", 1, "5E10"},
    };
    const std::string vendorBefore = UsbVendorId, secondBefore = UsbSecondId;
    const int vendorOnlyBefore = UsbVendorOnly;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UsbVendorOnly = 1 - c.vendorOnly;
        UsbVendorId = "";
        UsbSecondId = "";
        const PrinterModel* model = ModelByName(c.name);
        ASSERT_NE(model, nullptr);
        SelectUsbIds(*model);
        EXPECT_EQ(UsbVendorOnly.load(), c.vendorOnly);
        EXPECT_EQ(UsbVendorId.Get(), "3A7E");
        EXPECT_EQ(UsbSecondId.Get(), c.secondId);
    }
    UsbVendorId = vendorBefore;
    UsbSecondId = secondBefore;
    UsbVendorOnly = vendorOnlyBefore;
}

} // namespace
} // namespace pemberlux
