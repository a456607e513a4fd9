#include "ReceiptPrinterSim.h"

#include <algorithm>
#include <sstream>

namespace pemberlux::sim {

namespace {

// The printer's own view of its settings: set code, place in the settings
// reply and width of the value. Kept apart from the program's tables on
// purpose, so that the two are checked against each other.
struct SettingSlot {
    const char* key;
    std::uint8_t code;
    std::size_t offset;
    std::size_t width; // value bytes: 1, or 2 for a signed distance, low byte first
};
constexpr std::array<SettingSlot, ReceiptPrinterSim::kSettingCount> kSlots = {{
    {"printer_language", 0x16, 0, 1},
    {"cutter", 0x34, 3, 1},
    {"paper_width", 0x38, 13, 1},
    {"printing_direction", 0x3A, 11, 1},
    {"paper_type", 0x25, 12, 1},
    {"black_mark", 0x22, 4, 1},
    {"black_mark_to_home", 0x2C, 5, 2},
    {"black_mark_to_cutter", 0x2D, 7, 2},
}};
constexpr std::size_t kCutterSlot = 1;

// ESC CR "S" items ESC DLE "E"; the restore command GS DLE 01 stands alone.
constexpr auto& kBegin = kFrameBegin;
constexpr auto& kEnd = kFrameEnd;
constexpr std::array<std::uint8_t, 3> kRestore{0x1D, 0x10, 0x01};
constexpr std::array<std::uint8_t, 9> kQuery{0x1B, 0x0D, 0x53, 0x1B, 0x33, 0x00, 0x1B, 0x10, 0x45};
constexpr std::uint8_t kQueryCode = 0x33;
constexpr std::uint8_t kSerialConfig = 0x23;

// 9600 baud, 8 data bits, no parity, 1 stop bit, hardware handshake.
constexpr std::uint8_t kFactorySerialConfig = 0x03;

struct ModelData {
    const char* name;
    std::uint8_t id;       // reply byte 1
    std::uint8_t major;    // reply byte 9: firmware version
    std::uint8_t minor;    // reply byte 10
    int factoryPaperWidth; // 0 76mm, 2 57mm
};

const ModelData& Data(ReceiptModel model) {
    static const ModelData tr510{"TR-510", 0xA1, 2, 5, 2};
    static const ModelData tr520{"TR-520", 0xA2, 3, 1, 0};
    return model == ReceiptModel::TR520 ? tr520 : tr510;
}

// The slot a set code names, with the width of its value.
std::optional<std::pair<std::size_t, std::size_t>> SlotOf(std::uint8_t code) {
    for (std::size_t i = 0; i < kSlots.size(); ++i)
        if (kSlots[i].code == code) return std::pair{i, kSlots[i].width};
    return std::nullopt;
}

// Value bytes after "1B code" of the items this printer reads, to find where a
// frame ends; nullopt for an item it does not know.
std::optional<std::size_t> ValueSize(std::uint8_t code) {
    if (const auto slot = SlotOf(code)) return slot->second;
    if (code == kQueryCode || code == kSerialConfig) return 1;
    return std::nullopt;
}

ItemSize ReadItem(const std::uint8_t* p, std::size_t, std::size_t at) {
    const std::optional<std::size_t> value = ValueSize(p[at + 1]);
    return value ? ItemSize{ItemSize::Value, *value} : ItemSize{ItemSize::Unknown};
}

// The receipt printers' layout: 1 even, 2 odd.
constexpr std::array<const char*, 4> kParities{"None", "Even", "Odd", "unknown"};

std::size_t Index(ReceiptField field) {
    return static_cast<std::size_t>(field);
}

} // namespace

std::optional<ReceiptModel> ReceiptModelFromName(const std::string& name) {
    if (name == "TR-510") return ReceiptModel::TR510;
    if (name == "TR-520" || name == "TR-530") return ReceiptModel::TR520;
    return std::nullopt;
}

const char* ReceiptModelName(ReceiptModel model) {
    return Data(model).name;
}

int ReceiptPrinterSim::FactorySetting(ReceiptModel model, ReceiptField field) {
    // English, cutter on where there is one, 57 mm paper on the TR-510 and
    // 76 mm on the TR-520, bidirectional, single-part paper, no black mark,
    // home at the mark, cutter 85 units (15.0 mm) past it.
    switch (field) {
    case ReceiptField::Cutter:
        return model == ReceiptModel::TR520 ? 1 : 0;
    case ReceiptField::PaperWidth:
        return Data(model).factoryPaperWidth;
    case ReceiptField::Direction:
        return 1;
    case ReceiptField::BlackMarkToCutter:
        return 85;
    case ReceiptField::Language:
    case ReceiptField::PaperType:
    case ReceiptField::BlackMark:
    case ReceiptField::BlackMarkToHome:
        break;
    }
    return 0;
}

ReceiptPrinterSim::ReceiptPrinterSim(ReceiptModel model) : model_(model) {
    Restore(false);
}

void ReceiptPrinterSim::Restore(bool keepLanguage) {
    const int language = settings_[Index(ReceiptField::Language)];
    for (int i = 0; i < kSettingCount; ++i)
        settings_[static_cast<std::size_t>(i)] = FactorySetting(model_, static_cast<ReceiptField>(i));
    if (keepLanguage) settings_[Index(ReceiptField::Language)] = language;
    serialConfig_ = kFactorySerialConfig;
}

std::string ReceiptPrinterSim::ModelName() const {
    return Data(model_).name;
}

int ReceiptPrinterSim::Setting(ReceiptField field) const {
    std::lock_guard lock(mutex_);
    return settings_[Index(field)];
}

void ReceiptPrinterSim::SetSetting(ReceiptField field, int value) {
    std::lock_guard lock(mutex_);
    settings_[Index(field)] = value;
}

void ReceiptPrinterSim::RestoreFactorySettings() {
    std::lock_guard lock(mutex_);
    Restore(false);
}

ReceiptCounters ReceiptPrinterSim::Counters() const {
    std::lock_guard lock(mutex_);
    ReceiptCounters c = counters_;
    c.frames = frames_;
    c.strayBytes = strayBytes_;
    return c;
}

Bytes ReceiptPrinterSim::SettingsReply() const {
    std::lock_guard lock(mutex_);
    return SettingsReplyLocked();
}

Bytes ReceiptPrinterSim::SettingsReplyLocked() const {
    // The settings at their offsets; byte 1 the model, 9-10 the firmware version.
    Bytes reply(kReplySize, 0);
    reply[1] = Data(model_).id;
    reply[2] = serialConfig_;
    reply[9] = Data(model_).major;
    reply[10] = Data(model_).minor;
    for (std::size_t i = 0; i < kSlots.size(); ++i) {
        const auto value = static_cast<unsigned>(settings_[i]);
        reply[kSlots[i].offset] = static_cast<std::uint8_t>(value & 0xFF);
        if (kSlots[i].width == 2) reply[kSlots[i].offset + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    }
    return reply;
}

bool ReceiptPrinterSim::ApplySetFrame(const std::uint8_t* f, std::size_t size) {
    // Only setting items, each whole, between the brackets; then all of them are taken.
    const auto items = SettingItems(f, size, SlotOf);
    if (!items) return false;
    bool applied = false;
    for (const SettingItem& item : *items) {
        if (item.slot == kCutterSlot && !HasCutter()) {
            ++counters_.ignoredItems;
            continue;
        }
        const std::uint8_t* value = item.value;
        if (kSlots[item.slot].width == 1) {
            settings_[item.slot] = value[0];
        } else {
            settings_[item.slot] = static_cast<std::int16_t>(static_cast<std::uint16_t>(value[0] | (value[1] << 8)));
        }
        ++counters_.settingItems;
        applied = true;
    }
    if (applied) ++counters_.setFrames;
    return true;
}

void ReceiptPrinterSim::HandleFrame(const std::uint8_t* f, std::size_t size, std::vector<Answer>& answers) {
    if (size == kRestore.size() && std::equal(kRestore.begin(), kRestore.end(), f)) {
        // The language stays: the program sets it in the frame before.
        ++counters_.restores;
        Restore(true);
        return;
    }
    if (size == kQuery.size() && std::equal(kQuery.begin(), kQuery.end(), f)) {
        ++counters_.settingsQueries;
        answers.push_back(Answer{SettingsReplyLocked()});
        return;
    }
    if (size == 9 && f[3] == 0x1B && f[4] == kSerialConfig && EndsFrame(f, size)) {
        ++counters_.serialConfigSets;
        serialConfig_ = f[5];
        return;
    }
    if (ApplySetFrame(f, size)) return;
    ++counters_.rejectedFrames;
}

std::size_t ReceiptPrinterSim::FrameAt(const std::uint8_t* p, std::size_t avail) const {
    // ESC CR "S" opens a frame, GS DLE 01 restores; anything else is noise.
    const std::array<std::uint8_t, 3>& start = p[0] == kRestore[0] ? kRestore : kBegin;
    if (!std::equal(p, p + std::min(avail, start.size()), start.begin())) return kStray;
    if (avail < start.size()) return 0;
    return p[0] == kRestore[0] ? kRestore.size() : FrameSize(p, avail, ReadItem);
}

std::string ReceiptPrinterSim::StateJson() const {
    std::lock_guard lock(mutex_);
    std::ostringstream out;
    out << '{' << BaseStateFields() << ",\"cutter_fitted\":" << (HasCutter() ? "true" : "false") << ",\"settings\":{";
    for (std::size_t i = 0; i < kSlots.size(); ++i)
        out << (i ? "," : "") << '"' << kSlots[i].key << "\":" << settings_[i];
    out << "}," << SerialLineJson(kParities);
    ReceiptCounters c = counters_;
    c.frames = frames_;
    c.strayBytes = strayBytes_;
    out << ",\"counters\":{\"frames\":" << c.frames << ",\"settings_queries\":" << c.settingsQueries
        << ",\"set_frames\":" << c.setFrames << ",\"setting_items\":" << c.settingItems
        << ",\"ignored_items\":" << c.ignoredItems << ",\"restores\":" << c.restores
        << ",\"serial_config_sets\":" << c.serialConfigSets << ",\"rejected_frames\":" << c.rejectedFrames
        << ",\"stray_bytes\":" << c.strayBytes << "}}";
    return out.str();
}

} // namespace pemberlux::sim
