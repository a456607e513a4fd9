#include "core/base/Models.h"

#include "core/base/UiText.h"

namespace pemberlux {

namespace {

constexpr UsbIds LABEL_USB{"3A7E", "5E10", true};

constexpr PrinterModel Label(ModelId id, int position, StringId nameId, bool englishOnly, NetworkDialog network,
                             SerialParityBits parity, bool escPosInChinese) {
    return PrinterModel{
        .id = id,
        .position = position,
        .nameId = nameId,
        .englishOnly = englishOnly,
        .chineseStandIn = englishOnly ? ModelId::LB610 : id,
        .family = PrinterFamily::Label,
        .usb = LABEL_USB,
        .groupCaptionId = StringId::PrinterSeries,
        .promptId = StringId::ChoosePrinterSeries,
        .resetWifi = true,
        .wifiSetup = true,
        .bluetooth = true,
        .networkDialog = network,
        .serialParity = parity,
        .settingsPage = SettingsPage::Label,
        .testItems = false,
        .testItemsEnabled = false,
        .cutter = false,
        .escPosInChinese = escPosInChinese,
        .downloadMode = true,
        .firmwareFilterId = StringId::FirmwareFileFilter,
        .firmwareNoteId = StringId::FirmwareNoteLan,
    };
}

constexpr PrinterModel Receipt(ModelId id, int position, StringId nameId, const char* productId,
                               SerialParityBits parity, bool cutter) {
    return PrinterModel{
        .id = id,
        .position = position,
        .nameId = nameId,
        .englishOnly = false,
        .chineseStandIn = id,
        .family = PrinterFamily::Receipt,
        .usb = {"3A7E", productId, false},
        .groupCaptionId = StringId::PrinterModel,
        .promptId = StringId::ChoosePrinterModel,
        .resetWifi = false,
        .wifiSetup = false,
        .bluetooth = false,
        .networkDialog = NetworkDialog::PrintServer,
        .serialParity = parity,
        .settingsPage = SettingsPage::Receipt,
        .testItems = true,
        // TR-510 has no cutter, and its test items page is shown disabled.
        .testItemsEnabled = cutter,
        .cutter = cutter,
        .escPosInChinese = false,
        .downloadMode = false,
        .firmwareFilterId = StringId::FirmwareFileFilterFw,
        .firmwareNoteId = StringId::FirmwareNoteUsb,
    };
}

} // namespace

// LB-600 came last and is listed in English only; it is found on USB like the
// other label printers, but its network module is a print server and its
// serial configuration byte carries no parity, like TR-520's.
constexpr std::array<PrinterModel, 5> MODELS = {
    Label(ModelId::LB610, 0, StringId::ModelLB610, false, NetworkDialog::LabelModule, SerialParityBits::OddLowEvenHigh,
          true),
    Label(ModelId::LB710, 1, StringId::ModelLB710, false, NetworkDialog::LabelModule, SerialParityBits::OddLowEvenHigh,
          false),
    Receipt(ModelId::TR510, 2, StringId::ModelTR510, "41A2", SerialParityBits::EvenLowOddHigh, false),
    Receipt(ModelId::TR520, 3, StringId::ModelTR520, "41A3", SerialParityBits::None, true),
    Label(ModelId::LB600, 4, StringId::ModelLB600, true, NetworkDialog::PrintServer, SerialParityBits::None, false),
};

static_assert(
    [] {
        for (std::size_t i = 0; i < MODELS.size(); ++i)
            if (MODELS[i].position != static_cast<int>(i)) return false;
        return true;
    }(),
    "a model's position is its place in the table");

SerialReplyLayout SettingsReplyLayout(PrinterFamily family) {
    // The label printers answer with the parity order they are set with and
    // leave the flow control out; the receipt printers carry it, even first.
    if (family == PrinterFamily::Label) return {SerialParityBits::OddLowEvenHigh, false};
    return {SerialParityBits::EvenLowOddHigh, true};
}

const PrinterModel* ModelAt(int position) {
    if (position < 0 || position >= static_cast<int>(MODELS.size())) return nullptr;
    return &MODELS[static_cast<std::size_t>(position)];
}

const PrinterModel& ModelById(ModelId id) {
    for (const PrinterModel& m : MODELS)
        if (m.id == id) return m;
    return MODELS.front(); // every id is in the table
}

const PrinterModel* ModelByName(std::string_view name, int langId) {
    for (const PrinterModel& m : MODELS)
        if (ModelName(m, langId) == name) return &m;
    return nullptr;
}

const PrinterModel* ModelByName(std::string_view name) {
    if (const PrinterModel* m = ModelByName(name, LANG_ENGLISH)) return m;
    return ModelByName(name, LANG_CHINESE);
}

std::string ModelName(const PrinterModel& model, int langId) {
    return LoadUiString(model.nameId, langId);
}

std::string ModelName(const PrinterModel& model) {
    return LoadUiString(model.nameId);
}

bool IsListed(const PrinterModel& model, const std::string& settingsLanguage) {
    return !model.englishOnly || settingsLanguage == "English";
}

std::string ModelNameIn(const std::string& storedName, const std::string& settingsLanguage) {
    if (settingsLanguage != "English" && settingsLanguage != "Chinese") return storedName;
    const PrinterModel* model = ModelByName(storedName);
    if (!model) return storedName;
    if (!IsListed(*model, settingsLanguage)) model = &ModelById(model->chineseStandIn);
    return ModelName(*model, LanguageIdOf(settingsLanguage));
}

} // namespace pemberlux
