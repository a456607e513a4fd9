// A virtual receipt printer (TR-510, TR-520/TR-530). It keeps the eight
// settings of the receipt settings page and its serial line byte, applies set
// frames, answers the settings query with its 14-byte reply, and restores its
// factory settings on 1D 10 01. It acts only on whole frames it knows, value
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
#include <optional>
#include <string>

namespace pemberlux::sim {

enum class ReceiptModel { TR510, TR520 };
// "TR-510", and "TR-520" or its Chinese name "TR-530" for the second model.
std::optional<ReceiptModel> ReceiptModelFromName(const std::string& name);
const char* ReceiptModelName(ReceiptModel model);

// The printer's settings, in the order its set items are listed.
enum class ReceiptField : int {
    Language = 0,
    Cutter,
    PaperWidth,
    Direction,
    PaperType,
    BlackMark,
    BlackMarkToHome,   // signed 1/144 inch
    BlackMarkToCutter, // signed 1/144 inch
};

struct ReceiptCounters {
    std::size_t frames = 0;           // complete frames and restore commands seen, rejected ones too
    std::size_t settingsQueries = 0;  // 1B 33 00
    std::size_t setFrames = 0;        // frames that carried at least one setting
    std::size_t settingItems = 0;     // settings applied
    std::size_t ignoredItems = 0;     // cutter items sent to a printer without a cutter
    std::size_t restores = 0;         // 1D 10 01
    std::size_t serialConfigSets = 0; // 1B 23 n
    std::size_t rejectedFrames = 0;   // frames this printer does not know: ignored whole
    std::size_t strayBytes = 0;       // bytes outside any frame
};

class ReceiptPrinterSim : public FramedPrinterSim {
public:
    static constexpr int kSettingCount = 8;
    static constexpr std::size_t kReplySize = 14;

    explicit ReceiptPrinterSim(ReceiptModel model = ReceiptModel::TR510);

    ReceiptModel Model() const { return model_; }
    std::string ModelName() const override;
    bool HasCutter() const { return model_ == ReceiptModel::TR520; }

    // A setting as the printer holds it: the byte of a list setting, signed
    // units for the two distances.
    int Setting(ReceiptField field) const;
    void SetSetting(ReceiptField field, int value);
    void RestoreFactorySettings();
    ReceiptCounters Counters() const;

    // What the printer answers to the query now.
    Bytes SettingsReply() const;

    std::string StateJson() const override;

    // The factory value of a setting.
    static int FactorySetting(ReceiptModel model, ReceiptField field);

protected:
    std::size_t FrameAt(const std::uint8_t* p, std::size_t avail) const override;
    void HandleFrame(const std::uint8_t* frame, std::size_t size, std::vector<Answer>& answers) override;

private:
    // All of these run with mutex_ held.
    bool ApplySetFrame(const std::uint8_t* frame, std::size_t size);
    void Restore(bool keepLanguage);
    Bytes SettingsReplyLocked() const;

    const ReceiptModel model_;
    std::array<int, kSettingCount> settings_{};
    ReceiptCounters counters_; // but frames and stray bytes, which the base counts
};

} // namespace pemberlux::sim
