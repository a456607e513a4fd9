#include "LabelPrinterSim.h"

#include <algorithm>
#include <sstream>

namespace pemberlux::sim {

namespace {

// The printer's own view of its settings: set code, place in the settings
// reply, and how the value is stored. Kept apart from the program's tables on
// purpose, so that the two are checked against each other.
enum class Field { Byte, Dots, Unsigned16 };
struct SettingSlot {
    const char* key;
    std::uint8_t code;
    std::size_t offset;
    Field field;
};
constexpr std::array<SettingSlot, LabelPrinterSim::kSettingCount> kSlots = {{
    {"page_mode", 0x27, 28, Field::Byte},
    {"print_media", 0x25, 26, Field::Byte},
    {"peeler", 0x2A, 37, Field::Byte},
    {"print_method", 0x26, 27, Field::Byte},
    {"paper_out_detection", 0x2B, 17, Field::Byte},
    {"print_density", 0x29, 36, Field::Byte},
    {"printer_language", 0x16, 9, Field::Byte},
    {"emulation", 0x24, 15, Field::Byte},
    {"auto_calibrate_label", 0x2F, 19, Field::Byte},
    {"print_speed", 0x30, 35, Field::Byte},
    {"top_form_sensing", 0x22, 13, Field::Byte},
    {"print_home_offset", 0x2C, 38, Field::Dots},
    {"cutting_position_offset", 0x2D, 40, Field::Dots},
    {"cut_mode", 0x34, 8, Field::Byte},
    {"print_position_detection", 0x32, 11, Field::Byte},
    {"black_mark_ad_value", 0x28, 33, Field::Unsigned16},
    {"paper_sensor_selection", 0x38, 12, Field::Byte},
}};

constexpr std::uint8_t kQuerySettings = 0x33;
constexpr std::uint8_t kRestoreFactory = 0x60;
constexpr std::uint8_t kCalibrate = 0x3D;
constexpr std::uint8_t kQuerySerialNumber = 0x19;
constexpr std::uint8_t kQueryFirmware = 0x1A;
constexpr std::uint8_t kQueryStatistics = 0x18;
constexpr std::uint8_t kSerialConfig = 0x23;
constexpr std::uint8_t kWifiReset = 0x40;
constexpr std::uint8_t kNetworkSettings = 0x3B;
constexpr std::uint8_t kWifiSettings = 0x3E;
constexpr std::uint8_t kDownloadMode = 0x90;

// 9600 baud, no parity, 1 stop bit, 8 data bits.
constexpr std::uint8_t kFactorySerialConfig = 0x03;

struct ModelData {
    const char* name;
    std::uint8_t id;        // reply byte 5
    std::uint8_t dotsPerMm; // reply byte 6
    int factorySpeed;       // print speed byte, 1-4
    const char* serialNumber;
    const char* firmware;
    std::uint64_t mileageCm; // print-head mileage when the simulator starts
};

const ModelData& Data(LabelModel model) {
    static const ModelData lb610{"LB-610", 0x61, 8, 3, "LB610-24070315", "LB-610 V1.16 2024-06-18", 125040};
    static const ModelData lb710{"LB-710", 0x71, 12, 2, "LB710-24070722", "LB-710 V1.16 2024-06-18", 48211};
    static const ModelData lb600{"LB-600", 0x60, 8, 3, "LB600-24061108", "LB-600 V1.09 2023-11-02", 302577};
    switch (model) {
    case LabelModel::LB710:
        return lb710;
    case LabelModel::LB600:
        return lb600;
    case LabelModel::LB610:
        break;
    }
    return lb610;
}

// Paper fed per job, for the mileage.
constexpr std::uint64_t kSelfTestCm = 10;
constexpr std::uint64_t kCalibrationCm = 6;

int SlotByCode(std::uint8_t code) {
    for (std::size_t i = 0; i < kSlots.size(); ++i)
        if (kSlots[i].code == code) return static_cast<int>(i);
    return -1;
}

std::size_t ValueSize(std::uint8_t code) {
    const int slot = SlotByCode(code);
    if (slot >= 0 && kSlots[static_cast<std::size_t>(slot)].field != Field::Byte) return 2;
    return 1;
}

const char* BaudText(std::uint8_t config) {
    static const char* const rates[8] = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
    return rates[config & 0x07];
}

const char* ParityText(std::uint8_t config) {
    static const char* const parities[4] = {"None", "Odd", "Even", "unknown"};
    return parities[(config >> 4) & 0x03];
}

} // namespace

std::optional<LabelModel> LabelModelFromName(const std::string& name) {
    for (LabelModel m : {LabelModel::LB610, LabelModel::LB710, LabelModel::LB600})
        if (name == Data(m).name) return m;
    return std::nullopt;
}

const char* LabelModelName(LabelModel model) {
    return Data(model).name;
}

int LabelPrinterSim::FactorySetting(LabelModel model, int pos) {
    // Page mode off, label paper, no peeler, direct thermal, paper-out detection
    // on, density "3", English, TSPL, auto calibration on, speed "3" ("2" on the
    // 300-DPI LB-710), top form sensing off, no offsets, cutter off, print
    // position detection on, black mark AD value 200, gap sensor.
    static constexpr std::array<int, kSettingCount> factory = {0, 0, 0, 1, 1, 2, 0, 3, 1, 3, 0, 0, 0, 0, 1, 200, 1};
    if (pos < 0 || pos >= kSettingCount) return 0;
    if (pos == 9) return Data(model).factorySpeed;
    return factory[static_cast<std::size_t>(pos)];
}

std::string LabelPrinterSim::FactorySettingsText(LabelModel model) {
    std::ostringstream out;
    out << "# " << Data(model).name << " factory settings (restored by 1B 0D 53 1B 60 01 1B 10 45):\n";
    for (int pos = 0; pos < kSettingCount; ++pos) {
        const SettingSlot& slot = kSlots[static_cast<std::size_t>(pos)];
        out << "#   " << slot.key << " = " << FactorySetting(model, pos);
        if (slot.field == Field::Dots) out << " dots";
        out << "\n";
    }
    out << "#   serial line = 9600 baud, no parity, 8 data bits, 1 stop bit (byte 0x03)\n";
    return out.str();
}

LabelPrinterSim::LabelPrinterSim(LabelModel model) : model_(model) {
    Restore();
}

void LabelPrinterSim::Restore() {
    for (int pos = 0; pos < kSettingCount; ++pos)
        settings_[static_cast<std::size_t>(pos)] = FactorySetting(model_, pos);
    serialConfig_ = kFactorySerialConfig;
}

std::string LabelPrinterSim::ModelName() const {
    return Data(model_).name;
}

void LabelPrinterSim::OnConnected() {
    std::lock_guard lock(mutex_);
    parse_ = Parse::Idle;
    pending_.clear();
    frameAnswers_.clear();
    frameHadSettings_ = false;
}

int LabelPrinterSim::Setting(int pos) const {
    std::lock_guard lock(mutex_);
    return pos >= 0 && pos < kSettingCount ? settings_[static_cast<std::size_t>(pos)] : 0;
}

void LabelPrinterSim::SetSetting(int pos, int value) {
    std::lock_guard lock(mutex_);
    if (pos >= 0 && pos < kSettingCount) settings_[static_cast<std::size_t>(pos)] = value;
}

std::uint8_t LabelPrinterSim::SerialConfig() const {
    std::lock_guard lock(mutex_);
    return serialConfig_;
}

void LabelPrinterSim::SetSerialConfig(std::uint8_t config) {
    std::lock_guard lock(mutex_);
    serialConfig_ = config;
}

void LabelPrinterSim::RestoreFactorySettings() {
    std::lock_guard lock(mutex_);
    Restore();
}

LabelCounters LabelPrinterSim::Counters() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

Bytes LabelPrinterSim::SettingsReply() const {
    std::lock_guard lock(mutex_);
    return SettingsReplyLocked();
}

std::string LabelPrinterSim::SerialNumber() const {
    return Data(model_).serialNumber;
}

std::string LabelPrinterSim::FirmwareVersion() const {
    return Data(model_).firmware;
}

std::string LabelPrinterSim::StatisticsText() const {
    std::lock_guard lock(mutex_);
    return StatisticsLocked();
}

bool LabelPrinterSim::WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return frameCv_.wait_for(lock, timeout, [&] { return counters_.frames >= count; });
}

Bytes LabelPrinterSim::SettingsReplyLocked() const {
    // 1B 0D 53, the query code, the length, model id and dots per millimetre,
    // the serial line byte, the settings at their offsets, 1B 10 45.
    Bytes reply(kReplySize, 0);
    reply[0] = 0x1B;
    reply[1] = 0x0D;
    reply[2] = 0x53;
    reply[3] = kQuerySettings;
    reply[4] = static_cast<std::uint8_t>(kReplySize);
    reply[5] = Data(model_).id;
    reply[6] = Data(model_).dotsPerMm;
    reply[7] = serialConfig_;
    for (std::size_t i = 0; i < kSlots.size(); ++i) {
        const auto value = static_cast<unsigned>(settings_[i]);
        reply[kSlots[i].offset] = static_cast<std::uint8_t>(value & 0xFF);
        if (kSlots[i].field != Field::Byte)
            reply[kSlots[i].offset + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    }
    reply[kReplySize - 3] = 0x1B;
    reply[kReplySize - 2] = 0x10;
    reply[kReplySize - 1] = 0x45;
    return reply;
}

std::string LabelPrinterSim::StatisticsLocked() const {
    const std::uint64_t cm =
        Data(model_).mileageCm + counters_.selfTests * kSelfTestCm + counters_.calibrations * kCalibrationCm;
    std::ostringstream out;
    out << cm / 100 << '.' << (cm % 100 < 10 ? "0" : "") << cm % 100 << " m";
    return out.str();
}

void LabelPrinterSim::FrameDone() {
    ++counters_.frames;
}

void LabelPrinterSim::HandleItem(std::uint8_t code, const std::uint8_t* value, std::vector<Bytes>& answers) {
    const int slot = SlotByCode(code);
    if (slot >= 0) {
        const auto i = static_cast<std::size_t>(slot);
        if (kSlots[i].field == Field::Byte) {
            settings_[i] = value[0];
        } else {
            const auto raw = static_cast<std::uint16_t>(value[0] | (value[1] << 8));
            settings_[i] = kSlots[i].field == Field::Dots ? static_cast<int>(static_cast<std::int16_t>(raw)) : raw;
        }
        ++counters_.settingItems;
        frameHadSettings_ = true;
        return;
    }
    switch (code) {
    case kQuerySettings:
        ++counters_.settingsQueries;
        answers.push_back(SettingsReplyLocked());
        break;
    case kRestoreFactory:
        ++counters_.factoryResets;
        Restore();
        break;
    case kCalibrate:
        ++counters_.calibrations;
        break;
    case kQuerySerialNumber: {
        ++counters_.serialNumberQueries;
        const std::string text = Data(model_).serialNumber;
        answers.emplace_back(text.begin(), text.end());
        break;
    }
    case kQueryFirmware: {
        ++counters_.firmwareQueries;
        const std::string text = Data(model_).firmware;
        answers.emplace_back(text.begin(), text.end());
        break;
    }
    case kQueryStatistics: {
        ++counters_.statisticsQueries;
        const std::string text = StatisticsLocked();
        answers.emplace_back(text.begin(), text.end());
        break;
    }
    case kSerialConfig:
        ++counters_.serialConfigSets;
        serialConfig_ = value[0];
        break;
    case kWifiReset:
        ++counters_.wifiResets;
        break;
    default:
        ++counters_.unknownItems;
        break;
    }
}

std::vector<Answer> LabelPrinterSim::Respond(const std::uint8_t* data, std::size_t size) {
    std::vector<Answer> out;
    {
        std::lock_guard lock(mutex_);
        pending_.insert(pending_.end(), data, data + size);
        std::size_t used = 0;
        const auto endFrame = [&] {
            if (frameHadSettings_) ++counters_.setFrames;
            for (Bytes& bytes : frameAnswers_)
                out.push_back(Answer{std::move(bytes)});
            frameAnswers_.clear();
            frameHadSettings_ = false;
            parse_ = Parse::Idle;
            FrameDone();
        };
        for (;;) {
            const std::size_t avail = pending_.size() - used;
            const std::uint8_t* p = pending_.data() + used;
            if (parse_ == Parse::Idle) {
                // Outside a frame: ESC CR "S" opens one, ESC CR "L" prints the self-test.
                if (avail == 0) break;
                if (p[0] != 0x1B || (avail >= 2 && p[1] != 0x0D) || (avail >= 3 && p[2] != 0x53 && p[2] != 0x4C)) {
                    ++counters_.strayBytes;
                    ++used;
                    continue;
                }
                if (avail < 3) break;
                used += 3;
                if (p[2] == 0x4C) {
                    ++counters_.selfTests;
                    FrameDone();
                } else {
                    parse_ = Parse::InFrame;
                }
                continue;
            }
            if (parse_ == Parse::SkipToEnd) {
                // Items this printer takes no state from: everything up to ESC DLE "E".
                const std::uint8_t end[] = {0x1B, 0x10, 0x45};
                const std::uint8_t* hit = std::search(p, p + avail, std::begin(end), std::end(end));
                if (hit == p + avail) {
                    used += avail > 2 ? avail - 2 : 0;
                    break;
                }
                used += static_cast<std::size_t>(hit - p) + 3;
                endFrame();
                continue;
            }
            // Inside a frame: items "1B code value...", closed by 1B 10 45.
            if (avail == 0) break;
            if (p[0] != 0x1B) {
                ++counters_.strayBytes;
                ++used;
                continue;
            }
            if (avail < 2) break;
            const std::uint8_t code = p[1];
            if (code == 0x10) {
                if (avail < 3) break;
                used += 3;
                if (p[2] == 0x45)
                    endFrame();
                else
                    counters_.strayBytes += 3;
                continue;
            }
            if (code == kNetworkSettings || code == kWifiSettings) {
                ++counters_.otherItems;
                used += 2;
                parse_ = Parse::SkipToEnd;
                continue;
            }
            if (code == kDownloadMode) {
                // 1B 90 46 57: the printer leaves for its loader; no frame end follows.
                if (avail < 4) break;
                ++counters_.otherItems;
                used += 4;
                endFrame();
                continue;
            }
            const std::size_t valueSize = ValueSize(code);
            if (avail < 2 + valueSize) break;
            HandleItem(code, p + 2, frameAnswers_);
            used += 2 + valueSize;
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
    }
    frameCv_.notify_all();
    if (!out.empty()) {
        if (auto scripted = ScriptedAnswer()) return *scripted;
    }
    return out;
}

std::string LabelPrinterSim::StateJson() const {
    std::lock_guard lock(mutex_);
    std::ostringstream out;
    out << '{' << BaseStateFields() << ",\"settings\":{";
    for (std::size_t i = 0; i < kSlots.size(); ++i)
        out << (i ? "," : "") << '"' << kSlots[i].key << "\":" << settings_[i];
    out << "},\"serial_config\":" << static_cast<int>(serialConfig_) << ",\"serial_line\":{\"baud_rate\":\""
        << BaudText(serialConfig_) << "\",\"parity\":\"" << ParityText(serialConfig_) << "\",\"data_bits\":\""
        << ((serialConfig_ & 0x80) ? "7" : "8") << "\",\"stop_bits\":\"" << ((serialConfig_ & 0x40) ? "2" : "1")
        << "\",\"flow_control\":\"" << ((serialConfig_ & 0x08) ? "Xon/Xoff" : "DTR") << "\"}";
    const LabelCounters& c = counters_;
    out << ",\"counters\":{\"frames\":" << c.frames << ",\"settings_queries\":" << c.settingsQueries
        << ",\"set_frames\":" << c.setFrames << ",\"setting_items\":" << c.settingItems
        << ",\"factory_resets\":" << c.factoryResets << ",\"calibrations\":" << c.calibrations
        << ",\"self_tests\":" << c.selfTests << ",\"serial_number_queries\":" << c.serialNumberQueries
        << ",\"firmware_queries\":" << c.firmwareQueries << ",\"statistics_queries\":" << c.statisticsQueries
        << ",\"serial_config_sets\":" << c.serialConfigSets << ",\"wifi_resets\":" << c.wifiResets
        << ",\"other_items\":" << c.otherItems << ",\"unknown_items\":" << c.unknownItems
        << ",\"stray_bytes\":" << c.strayBytes << "}";
    out << ",\"mileage\":\"" << StatisticsLocked() << "\"}";
    return out.str();
}

} // namespace pemberlux::sim
