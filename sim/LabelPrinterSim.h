// A virtual label printer (LB-610, LB-710, LB-600). It keeps the seventeen
// settings of the label settings page and its serial line configuration,
// applies set frames, answers the settings query, the serial number, firmware
// version and statistics queries, restores its factory settings, and counts
// calibrations and self-tests. It acts only on whole frames it knows, value
// bytes included; any other frame is counted as rejected and changes nothing.
// Frames may arrive split over any number of chunks. The faults of SimPrinter
// (silent, late, short, garbage, drop) apply to its answers. See sim/README.md
// for the frames, the reply layout and the factory settings.
#pragma once

#include "FramedPrinterSim.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace pemberlux::sim {

enum class LabelModel { LB610, LB710, LB600 };
// "LB-610", "LB-710", "LB-600".
std::optional<LabelModel> LabelModelFromName(const std::string& name);
const char* LabelModelName(LabelModel model);

struct LabelCounters {
    std::size_t frames = 0;          // complete frames seen (framed ones and self-tests), rejected ones too
    std::size_t settingsQueries = 0; // 1B 33
    std::size_t setFrames = 0;       // frames that carried at least one setting
    std::size_t settingItems = 0;    // settings applied
    std::size_t factoryResets = 0;   // 1B 60
    std::size_t calibrations = 0;    // 1B 3D
    std::size_t selfTests = 0;       // 1B 0D 4C
    std::size_t serialNumberQueries = 0;
    std::size_t firmwareQueries = 0;
    std::size_t statisticsQueries = 0;
    std::size_t serialConfigSets = 0;  // 1B 23 n
    std::size_t wifiResets = 0;        // 1B 40
    std::size_t otherItems = 0;        // network (1B 3B), Wi-Fi (1B 3E), download mode (1B 90)
    std::size_t downloadModes = 0;     // 1B 0D 53 1B 90 46 57 (also counted in otherItems)
    std::size_t wifiSets = 0;          // Wi-Fi settings taken (1B 3E)
    std::size_t bluetoothSets = 0;     // 1B 0D 48, taken
    std::size_t bluetoothRestores = 0; // 1B 0D 49
    std::size_t bluetoothQueries = 0;  // 1B 0D 47
    std::size_t beeps = 0;             // one per Bluetooth name and password taken
    std::size_t rejectedFrames = 0;    // frames this printer does not know: ignored whole
    std::size_t strayBytes = 0;        // bytes outside any frame
};

// The Wi-Fi module as its settings frame set it: the bytes as they came.
struct WifiModuleState {
    std::uint8_t mode = 0x02; // 02 AP, 00 STA
    Bytes ssid;
    std::uint8_t encryption = 0; // 0 None ... 6 WPA2-PSK(CCMP/AES)
    std::uint8_t keyFormat = 1;  // 0 HEX, 1 ASCII
    Bytes key;                   // as sent: characters, or the bytes of the hex pairs
    std::array<std::uint8_t, 4> ip{192, 168, 1, 11};
    std::array<std::uint8_t, 4> gateway{192, 168, 1, 11};
    std::array<std::uint8_t, 4> mask{255, 255, 255, 0};
    std::uint8_t dhcp = 0; // 00 on, 01 off
    bool operator==(const WifiModuleState&) const = default;
};

struct BluetoothModuleState {
    std::array<std::uint8_t, 6> mac{};
    std::string name;     // up to 16 bytes
    std::string password; // 4 bytes
};

class LabelPrinterSim : public FramedPrinterSim {
public:
    static constexpr int kSettingCount = 17;
    static constexpr std::size_t kReplySize = 45;

    explicit LabelPrinterSim(LabelModel model = LabelModel::LB610);

    LabelModel Model() const { return model_; }
    std::string ModelName() const override;

    // A setting by position (0-16) as the printer holds it: the byte of a list
    // setting, signed dots for the two offsets, the unsigned AD value.
    int Setting(int pos) const;
    void SetSetting(int pos, int value);
    void RestoreFactorySettings();
    LabelCounters Counters() const;

    // The Wi-Fi and Bluetooth modules; their factory states.
    WifiModuleState Wifi() const;
    BluetoothModuleState Bluetooth() const;
    void SetBluetooth(const BluetoothModuleState& state);
    WifiModuleState FactoryWifi() const;
    BluetoothModuleState FactoryBluetooth() const;
    // The 26-byte answer to 1B 0D 47: MAC, password, name padded with zeros.
    Bytes BluetoothAnswer() const;

    // What the printer answers now.
    Bytes SettingsReply() const;
    std::string SerialNumber() const;
    std::string FirmwareVersion() const;
    std::string StatisticsText() const;

    // Text answers end with a zero byte, as a printer sends them; without it
    // the client learns the end only from the silence after it.
    void SetZeroAfterText(bool zero);
    bool ZeroAfterText() const;

    std::string StateJson() const override;

    // Called (without the printer's lock) each time the download mode command
    // arrives: the printer's loader then shows up on USB with its own ids.
    void SetDownloadModeHook(std::function<void()> hook);

    // The factory settings of a model, as a comment block for --help.
    static std::string FactorySettingsText(LabelModel model);
    // The factory value of a setting.
    static int FactorySetting(LabelModel model, int pos);

protected:
    std::size_t FrameAt(const std::uint8_t* p, std::size_t avail) const override;
    void HandleFrame(const std::uint8_t* frame, std::size_t size, std::vector<Answer>& answers) override;
    // Calls the download-mode hook once for each download mode command just handled.
    void AfterFrames() override;

private:
    // All of these run with mutex_ held.
    LabelCounters CountersLocked() const;
    bool ApplySetFrame(const std::uint8_t* frame, std::size_t size);
    bool ApplyWifiFrame(const std::uint8_t* frame, std::size_t size);
    bool ApplyBluetoothFrame(const std::uint8_t* frame, std::size_t size);
    Bytes BluetoothAnswerLocked() const;
    Bytes TextAnswer(const std::string& text) const;
    void Restore();
    Bytes SettingsReplyLocked() const;
    std::string StatisticsLocked() const;

    const LabelModel model_;
    std::array<int, kSettingCount> settings_{};
    WifiModuleState wifi_;
    BluetoothModuleState bluetooth_;
    LabelCounters counters_; // but frames and stray bytes, which the base counts
    bool zeroAfterText_ = true;
    std::function<void()> downloadHook_;
    std::size_t downloadModesCalled_ = 0; // download mode commands the hook was called for
};

} // namespace pemberlux::sim
