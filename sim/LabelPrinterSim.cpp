#include "LabelPrinterSim.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <optional>
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

// Every frame: ESC CR "S", items "1B code value...", ESC DLE "E". The self-test
// is the only command outside a frame.
constexpr auto& kBegin = kFrameBegin;
constexpr auto& kEnd = kFrameEnd;
constexpr std::array<std::uint8_t, 3> kSelfTest{0x1B, 0x0D, 0x4C};
// The Bluetooth module's commands: ESC CR 'H' name (16) password (4) 00 10,
// ESC CR 'I' (restore), ESC CR 'G' (query, answered with 26 bytes).
constexpr std::uint8_t kBluetoothSet = 0x48;
constexpr std::uint8_t kBluetoothRestore = 0x49;
constexpr std::uint8_t kBluetoothQuery = 0x47;
constexpr std::size_t kBluetoothSetSize = 25;
constexpr std::size_t kBluetoothName = 16;
constexpr std::size_t kBluetoothPassword = 4;

// The one-item frames this printer acts on, each exactly as it must arrive.
enum class Action { ReadSettings, Restore, Calibrate, SerialNumber, Firmware, Statistics, WifiReset };
struct KnownFrame {
    Action action;
    std::array<std::uint8_t, 9> bytes;
};
constexpr std::array<KnownFrame, 7> kKnownFrames{{
    {Action::ReadSettings, {0x1B, 0x0D, 0x53, 0x1B, 0x33, 0x00, 0x1B, 0x10, 0x45}},
    {Action::Restore, {0x1B, 0x0D, 0x53, 0x1B, 0x60, 0x01, 0x1B, 0x10, 0x45}},
    {Action::Calibrate, {0x1B, 0x0D, 0x53, 0x1B, 0x3D, 0x01, 0x1B, 0x10, 0x45}},
    {Action::SerialNumber, {0x1B, 0x0D, 0x53, 0x1B, 0x19, 0x01, 0x1B, 0x10, 0x45}},
    {Action::Firmware, {0x1B, 0x0D, 0x53, 0x1B, 0x1A, 0x01, 0x1B, 0x10, 0x45}},
    {Action::Statistics, {0x1B, 0x0D, 0x53, 0x1B, 0x18, 0x01, 0x1B, 0x10, 0x45}},
    {Action::WifiReset, {0x1B, 0x0D, 0x53, 0x1B, 0x40, 0x01, 0x1B, 0x10, 0x45}},
}};

// Items of other frames: the serial line (1B 23 n, alone in its frame), the
// network settings over USB (1B 3B 01, three addresses and the DHCP byte), the
// Wi-Fi settings (1B 3E, up to the frame end) and download mode (1B 90 46 57,
// no frame end follows).
constexpr std::uint8_t kSerialConfig = 0x23;
constexpr std::uint8_t kNetworkSettings = 0x3B;
constexpr std::size_t kNetworkFrameSize = 22;
constexpr std::uint8_t kWifiSettings = 0x3E;
constexpr std::array<std::uint8_t, 4> kDownloadMode{0x1B, 0x90, 0x46, 0x57};

// 9600 baud, no parity, 1 stop bit, 8 data bits.
constexpr std::uint8_t kFactorySerialConfig = 0x03;

struct ModelData {
    const char* name;
    std::uint8_t macLast;   // the Bluetooth MAC address is 00-1B-35-0A-FF-<this>
    std::uint8_t id;        // reply byte 5
    std::uint8_t dotsPerMm; // reply byte 6
    int factorySpeed;       // print speed byte, 1-4
    const char* serialNumber;
    const char* firmware;
    std::uint64_t mileageCm; // print-head mileage when the simulator starts
};

const ModelData& Data(LabelModel model) {
    static const ModelData lb610{"LB-610", 0x12, 0x61, 8, 3, "LB610-24070315", "LB-610 V1.16 2024-06-18", 125040};
    static const ModelData lb710{"LB-710", 0x71, 0x71, 12, 2, "LB710-24070722", "LB-710 V1.16 2024-06-18", 48211};
    static const ModelData lb600{"LB-600", 0x60, 0x60, 8, 3, "LB600-24061108", "LB-600 V1.09 2023-11-02", 302577};
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

// The slot a set code names, with the width of its value.
std::optional<std::pair<std::size_t, std::size_t>> SlotOf(std::uint8_t code) {
    for (std::size_t i = 0; i < kSlots.size(); ++i)
        if (kSlots[i].code == code)
            return std::pair{i, kSlots[i].field == Field::Byte ? std::size_t{1} : std::size_t{2}};
    return std::nullopt;
}

// Value bytes after "1B code" of the items this printer reads, to find where a
// frame ends; nullopt for an item whose frame runs to the next frame end.
std::optional<std::size_t> ValueSize(std::uint8_t code) {
    if (const auto slot = SlotOf(code)) return slot->second;
    if (code == kSerialConfig) return 1;
    if (code == kNetworkSettings) return kNetworkFrameSize - kBegin.size() - 2 - kEnd.size();
    for (const KnownFrame& known : kKnownFrames)
        if (known.bytes[4] == code) return 1;
    return std::nullopt;
}

// After the key of a Wi-Fi item: 00 01, address, gateway, mask, DHCP, frame end.
constexpr std::size_t kWifiTail = 2 + 12 + 1 + 3;
// The longest key the module takes (64 hex pairs would be 32; 63 characters).
constexpr std::size_t kWifiMaxKey = 64;

bool WifiTailAt(const std::uint8_t* p, std::size_t z) {
    return p[z] == 0x00 && p[z + 1] == 0x01 && std::equal(kEnd.begin(), kEnd.end(), p + z + kWifiTail - kEnd.size());
}

// The size of a frame whose item at `at` is 1B 3E: mode, SSID up to its zero,
// encryption, key format, key flag, then the key, which may hold any byte in
// HEX format, so the frame is read from its fixed tail. 0 while incomplete.
std::size_t WifiFrameSize(const std::uint8_t* p, std::size_t avail, std::size_t at) {
    const std::size_t ssid = at + 3;
    if (avail <= ssid) return 0;
    const std::uint8_t* zero = std::find(p + ssid, p + avail, 0x00);
    if (zero == p + avail) return 0;
    const std::size_t key = static_cast<std::size_t>(zero - p) + 1 + 3;
    for (std::size_t z = key; z <= key + kWifiMaxKey && z + kWifiTail <= avail; ++z)
        if (WifiTailAt(p, z)) return z + kWifiTail;
    if (avail < key + kWifiMaxKey + kWifiTail) return 0;
    // No such tail: a broken frame, which ends at the next frame end.
    return SizeUpToEnd(p, avail, at + 2);
}

// Download mode (no frame end follows) and Wi-Fi settings (read from their
// fixed tail) end the frame themselves.
ItemSize ReadItem(const std::uint8_t* p, std::size_t avail, std::size_t at) {
    const std::uint8_t code = p[at + 1];
    if (code == kDownloadMode[1]) {
        if (avail < at + kDownloadMode.size()) return {ItemSize::WholeFrame, 0};
        if (std::equal(kDownloadMode.begin(), kDownloadMode.end(), p + at))
            return {ItemSize::WholeFrame, at + kDownloadMode.size()};
        return {ItemSize::Unknown};
    }
    if (code == kWifiSettings) return {ItemSize::WholeFrame, WifiFrameSize(p, avail, at)};
    const std::optional<std::size_t> value = ValueSize(code);
    return value ? ItemSize{ItemSize::Value, *value} : ItemSize{ItemSize::Unknown};
}

bool StartsWith(const std::uint8_t* p, std::size_t size, std::initializer_list<std::uint8_t> bytes) {
    return size >= bytes.size() && std::equal(bytes.begin(), bytes.end(), p);
}

constexpr std::array<const char*, 4> kParities{"None", "Odd", "Even", "unknown"};

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
    wifi_ = FactoryWifi();
    bluetooth_ = FactoryBluetooth();
}

WifiModuleState LabelPrinterSim::FactoryWifi() const {
    // AP mode, "<model> WF", open, DHCP on, 192.168.1.11/24.
    WifiModuleState state;
    const std::string ssid = std::string(Data(model_).name) + " WF";
    state.ssid.assign(ssid.begin(), ssid.end());
    return state;
}

BluetoothModuleState LabelPrinterSim::FactoryBluetooth() const {
    BluetoothModuleState state;
    state.mac = {0x00, 0x1B, 0x35, 0x0A, 0xFF, Data(model_).macLast};
    state.name = Data(model_).name;
    state.password = "0000";
    return state;
}

WifiModuleState LabelPrinterSim::Wifi() const {
    std::lock_guard lock(mutex_);
    return wifi_;
}

BluetoothModuleState LabelPrinterSim::Bluetooth() const {
    std::lock_guard lock(mutex_);
    return bluetooth_;
}

void LabelPrinterSim::SetBluetooth(const BluetoothModuleState& state) {
    std::lock_guard lock(mutex_);
    bluetooth_ = state;
}

Bytes LabelPrinterSim::BluetoothAnswer() const {
    std::lock_guard lock(mutex_);
    return BluetoothAnswerLocked();
}

Bytes LabelPrinterSim::BluetoothAnswerLocked() const {
    Bytes answer(bluetooth_.mac.begin(), bluetooth_.mac.end());
    for (std::size_t i = 0; i < kBluetoothPassword; ++i)
        answer.push_back(i < bluetooth_.password.size() ? static_cast<std::uint8_t>(bluetooth_.password[i]) : 0);
    for (std::size_t i = 0; i < kBluetoothName; ++i)
        answer.push_back(i < bluetooth_.name.size() ? static_cast<std::uint8_t>(bluetooth_.name[i]) : 0);
    return answer;
}

bool LabelPrinterSim::ApplyWifiFrame(const std::uint8_t* f, std::size_t size) {
    // 1B 0D 53 1B 3E, mode, SSID 00, encryption, format, key flag, key 00, tail.
    std::size_t at = 5;
    if (size < at + 1 + 1 + 3 + kWifiTail || !WifiTailAt(f, size - kWifiTail)) return false;
    WifiModuleState state;
    state.mode = f[at++];
    const std::uint8_t* zero = std::find(f + at, f + size, 0x00);
    state.ssid.assign(f + at, zero);
    at = static_cast<std::size_t>(zero - f) + 1;
    if (at + 3 > size - kWifiTail) return false;
    state.encryption = f[at];
    state.keyFormat = f[at + 1];
    const std::uint8_t keyed = f[at + 2];
    at += 3;
    state.key.assign(f + at, f + size - kWifiTail);
    const std::uint8_t* tail = f + size - kWifiTail + 2;
    std::copy(tail, tail + 4, state.ip.begin());
    std::copy(tail + 4, tail + 8, state.gateway.begin());
    std::copy(tail + 8, tail + 12, state.mask.begin());
    state.dhcp = tail[12];
    // What the module takes: a known mode, encryption and format, the key flag
    // agreeing with the encryption, a key only when one is wanted, DHCP 0 or 1.
    const bool valid = (state.mode == 0x00 || state.mode == 0x02) && !state.ssid.empty() && state.encryption <= 6 &&
                       state.keyFormat <= 1 && keyed == (state.encryption != 0 ? 1 : 0) &&
                       (state.encryption != 0 || state.key.empty()) && (state.encryption == 0 || !state.key.empty()) &&
                       state.dhcp <= 1;
    if (!valid) return false;
    wifi_ = state;
    return true;
}

bool LabelPrinterSim::ApplyBluetoothFrame(const std::uint8_t* f, std::size_t size) {
    // A name of 1-16 bytes padded with zeros, four password bytes, 00 10.
    if (size != kBluetoothSetSize || f[23] != 0x00 || f[24] != 0x10) return false;
    const std::uint8_t* name = f + 3;
    const std::uint8_t* nameEnd = std::find(name, name + kBluetoothName, 0x00);
    if (nameEnd == name || std::any_of(nameEnd, name + kBluetoothName, [](std::uint8_t b) { return b != 0; }))
        return false;
    const std::uint8_t* password = name + kBluetoothName;
    if (std::find(password, password + kBluetoothPassword, 0x00) != password + kBluetoothPassword) return false;
    bluetooth_.name.assign(name, nameEnd);
    bluetooth_.password.assign(password, password + kBluetoothPassword);
    return true;
}

void LabelPrinterSim::Restore() {
    for (int pos = 0; pos < kSettingCount; ++pos)
        settings_[static_cast<std::size_t>(pos)] = FactorySetting(model_, pos);
    serialConfig_ = kFactorySerialConfig;
}

std::string LabelPrinterSim::ModelName() const {
    return Data(model_).name;
}

int LabelPrinterSim::Setting(int pos) const {
    std::lock_guard lock(mutex_);
    return pos >= 0 && pos < kSettingCount ? settings_[static_cast<std::size_t>(pos)] : 0;
}

void LabelPrinterSim::SetSetting(int pos, int value) {
    std::lock_guard lock(mutex_);
    if (pos >= 0 && pos < kSettingCount) settings_[static_cast<std::size_t>(pos)] = value;
}

void LabelPrinterSim::RestoreFactorySettings() {
    std::lock_guard lock(mutex_);
    Restore();
}

LabelCounters LabelPrinterSim::Counters() const {
    std::lock_guard lock(mutex_);
    return CountersLocked();
}

LabelCounters LabelPrinterSim::CountersLocked() const {
    LabelCounters c = counters_;
    c.frames = frames_;
    c.strayBytes = strayBytes_;
    return c;
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

void LabelPrinterSim::SetZeroAfterText(bool zero) {
    std::lock_guard lock(mutex_);
    zeroAfterText_ = zero;
}

bool LabelPrinterSim::ZeroAfterText() const {
    std::lock_guard lock(mutex_);
    return zeroAfterText_;
}

Bytes LabelPrinterSim::SettingsReplyLocked() const {
    // 1B 0D 53, the query code, the length, model id and dots per millimetre,
    // the serial line byte, the settings at their offsets, 1B 10 45.
    Bytes reply(kReplySize, 0);
    reply[0] = 0x1B;
    reply[1] = 0x0D;
    reply[2] = 0x53;
    reply[3] = 0x33; // the query answered
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

Bytes LabelPrinterSim::TextAnswer(const std::string& text) const {
    Bytes answer(text.begin(), text.end());
    if (zeroAfterText_) answer.push_back(0);
    return answer;
}

bool LabelPrinterSim::ApplySetFrame(const std::uint8_t* f, std::size_t size) {
    // Only setting items, each whole, between the brackets; then all of them are taken.
    const auto items = SettingItems(f, size, SlotOf);
    if (!items) return false;
    for (const SettingItem& item : *items) {
        const std::uint8_t* value = item.value;
        if (kSlots[item.slot].field == Field::Byte) {
            settings_[item.slot] = value[0];
        } else {
            const auto raw = static_cast<std::uint16_t>(value[0] | (value[1] << 8));
            settings_[item.slot] =
                kSlots[item.slot].field == Field::Dots ? static_cast<int>(static_cast<std::int16_t>(raw)) : raw;
        }
        ++counters_.settingItems;
    }
    if (!items->empty()) ++counters_.setFrames;
    return true;
}

void LabelPrinterSim::HandleFrame(const std::uint8_t* f, std::size_t size, std::vector<Answer>& answers) {
    if (size == kSelfTest.size() && std::equal(kSelfTest.begin(), kSelfTest.end(), f)) {
        ++counters_.selfTests;
        return;
    }
    for (const KnownFrame& known : kKnownFrames) {
        if (size != known.bytes.size() || !std::equal(known.bytes.begin(), known.bytes.end(), f)) continue;
        switch (known.action) {
        case Action::ReadSettings:
            ++counters_.settingsQueries;
            answers.push_back(Answer{SettingsReplyLocked()});
            break;
        case Action::Restore:
            ++counters_.factoryResets;
            Restore();
            break;
        case Action::Calibrate:
            ++counters_.calibrations;
            break;
        case Action::SerialNumber:
            ++counters_.serialNumberQueries;
            answers.push_back(Answer{TextAnswer(Data(model_).serialNumber)});
            break;
        case Action::Firmware:
            ++counters_.firmwareQueries;
            answers.push_back(Answer{TextAnswer(Data(model_).firmware)});
            break;
        case Action::Statistics:
            ++counters_.statisticsQueries;
            answers.push_back(Answer{TextAnswer(StatisticsLocked())});
            break;
        case Action::WifiReset:
            ++counters_.wifiResets;
            wifi_ = FactoryWifi();
            break;
        }
        return;
    }
    if (size == 3 && StartsWith(f, size, {0x1B, 0x0D, kBluetoothQuery})) {
        ++counters_.bluetoothQueries;
        answers.push_back(Answer{BluetoothAnswerLocked()});
        return;
    }
    if (size == 3 && StartsWith(f, size, {0x1B, 0x0D, kBluetoothRestore})) {
        ++counters_.bluetoothRestores;
        bluetooth_ = FactoryBluetooth();
        return;
    }
    if (size == kBluetoothSetSize && StartsWith(f, size, {0x1B, 0x0D, kBluetoothSet})) {
        if (!ApplyBluetoothFrame(f, size)) {
            ++counters_.rejectedFrames;
            return;
        }
        ++counters_.bluetoothSets;
        ++counters_.beeps;
        return;
    }
    if (StartsWith(f, size, {0x1B, 0x0D, 0x53, 0x1B, kWifiSettings}) && EndsFrame(f, size)) {
        if (!ApplyWifiFrame(f, size)) {
            ++counters_.rejectedFrames;
            return;
        }
        ++counters_.wifiSets;
        ++counters_.otherItems;
        return;
    }
    if (size == 9 && StartsWith(f, size, {0x1B, 0x0D, 0x53, 0x1B, kSerialConfig}) && EndsFrame(f, size)) {
        ++counters_.serialConfigSets;
        serialConfig_ = f[5];
        return;
    }
    // Frames of other pages: known by their shape, nothing this model keeps.
    if ((size == kNetworkFrameSize && StartsWith(f, size, {0x1B, 0x0D, 0x53, 0x1B, kNetworkSettings, 0x01}) &&
         EndsFrame(f, size)) ||
        (size == kBegin.size() + kDownloadMode.size() &&
         std::equal(kDownloadMode.begin(), kDownloadMode.end(), f + 3))) {
        ++counters_.otherItems;
        if (f[4] == kDownloadMode[1]) ++counters_.downloadModes;
        return;
    }
    if (ApplySetFrame(f, size)) return;
    ++counters_.rejectedFrames;
}

std::size_t LabelPrinterSim::FrameAt(const std::uint8_t* p, std::size_t avail) const {
    // ESC CR "S" opens a frame, ESC CR "L" is the self-test, ESC CR "H", "I"
    // and "G" talk to the Bluetooth module; anything else is noise.
    const auto known = [](std::uint8_t c) {
        return c == kBegin[2] || c == kSelfTest[2] || c == kBluetoothSet || c == kBluetoothRestore ||
               c == kBluetoothQuery;
    };
    if (p[0] != 0x1B || (avail >= 2 && p[1] != 0x0D) || (avail >= 3 && !known(p[2]))) return kStray;
    if (avail < 3) return 0;
    if (p[2] == kBegin[2]) return FrameSize(p, avail, ReadItem);
    if (p[2] == kBluetoothSet) return avail >= kBluetoothSetSize ? kBluetoothSetSize : 0;
    return 3;
}

void LabelPrinterSim::AfterFrames() {
    std::size_t downloadModes = 0;
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex_);
        downloadModes = counters_.downloadModes - downloadModesCalled_;
        downloadModesCalled_ = counters_.downloadModes;
        hook = downloadHook_;
    }
    if (hook)
        for (std::size_t i = 0; i < downloadModes; ++i)
            hook();
}

void LabelPrinterSim::SetDownloadModeHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    downloadHook_ = std::move(hook);
}

std::string LabelPrinterSim::StateJson() const {
    std::lock_guard lock(mutex_);
    std::ostringstream out;
    out << '{' << BaseStateFields() << ",\"settings\":{";
    for (std::size_t i = 0; i < kSlots.size(); ++i)
        out << (i ? "," : "") << '"' << kSlots[i].key << "\":" << settings_[i];
    out << "}," << SerialLineJson(kParities);
    const LabelCounters c = CountersLocked();
    out << ",\"counters\":{\"frames\":" << c.frames << ",\"settings_queries\":" << c.settingsQueries
        << ",\"set_frames\":" << c.setFrames << ",\"setting_items\":" << c.settingItems
        << ",\"factory_resets\":" << c.factoryResets << ",\"calibrations\":" << c.calibrations
        << ",\"self_tests\":" << c.selfTests << ",\"serial_number_queries\":" << c.serialNumberQueries
        << ",\"firmware_queries\":" << c.firmwareQueries << ",\"statistics_queries\":" << c.statisticsQueries
        << ",\"serial_config_sets\":" << c.serialConfigSets << ",\"wifi_resets\":" << c.wifiResets
        << ",\"other_items\":" << c.otherItems << ",\"download_modes\":" << c.downloadModes
        << ",\"wifi_sets\":" << c.wifiSets << ",\"bluetooth_sets\":" << c.bluetoothSets
        << ",\"bluetooth_restores\":" << c.bluetoothRestores << ",\"bluetooth_queries\":" << c.bluetoothQueries
        << ",\"beeps\":" << c.beeps << ",\"rejected_frames\":" << c.rejectedFrames
        << ",\"stray_bytes\":" << c.strayBytes << "}";
    auto address = [](const std::array<std::uint8_t, 4>& a) {
        return JsonString(std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
                          std::to_string(a[3]));
    };
    auto hex = [](const Bytes& bytes) {
        static const char digits[] = "0123456789ABCDEF";
        std::string text;
        for (std::uint8_t b : bytes) {
            text += digits[b >> 4];
            text += digits[b & 0x0F];
        }
        return JsonString(text);
    };
    const WifiModuleState& w = wifi_;
    out << ",\"wifi\":{\"mode\":\"" << (w.mode == 0x02 ? "AP" : "STA")
        << "\",\"ssid\":" << JsonString(std::string(w.ssid.begin(), w.ssid.end()))
        << ",\"encryption\":" << static_cast<int>(w.encryption) << ",\"key_format\":\""
        << (w.keyFormat == 0 ? "HEX" : "ASCII") << "\",\"key_hex\":" << hex(w.key) << ",\"ip\":" << address(w.ip)
        << ",\"gateway\":" << address(w.gateway) << ",\"mask\":" << address(w.mask)
        << ",\"dhcp\":" << (w.dhcp == 0 ? "true" : "false") << "}";
    char mac[18];
    std::snprintf(mac, sizeof mac, "%02X-%02X-%02X-%02X-%02X-%02X", bluetooth_.mac[0], bluetooth_.mac[1],
                  bluetooth_.mac[2], bluetooth_.mac[3], bluetooth_.mac[4], bluetooth_.mac[5]);
    out << ",\"bluetooth\":{\"mac\":\"" << mac << "\",\"name\":" << JsonString(bluetooth_.name)
        << ",\"password\":" << JsonString(bluetooth_.password) << "}";
    out << ",\"mileage\":\"" << StatisticsLocked() << "\",\"zero_after_text\":" << (zeroAfterText_ ? "true" : "false")
        << "}";
    return out.str();
}

} // namespace pemberlux::sim
