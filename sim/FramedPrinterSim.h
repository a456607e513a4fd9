// What the label and receipt printers share: frames ESC CR "S" items ESC DLE "E"
// that may arrive split over any number of chunks, bytes outside any frame
// counted as stray, a serial line byte, and a wait for a number of frames.
// A model says where a frame that starts at some byte ends and what it does.
#pragma once

#include "SimPrinter.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pemberlux::sim {

inline constexpr std::array<std::uint8_t, 3> kFrameBegin{0x1B, 0x0D, 0x53};
inline constexpr std::array<std::uint8_t, 3> kFrameEnd{0x1B, 0x10, 0x45};

// How a frame goes on at an item "1B code ..." at offset `at`, as the printer reads it.
struct ItemSize {
    enum Kind { Value, WholeFrame, Unknown } kind;
    // Value: the value bytes after the code; WholeFrame: the frame's size, 0 while incomplete.
    std::size_t size = 0;
};
using ItemReader = std::function<ItemSize(const std::uint8_t* p, std::size_t avail, std::size_t at)>;

// The size of the frame that starts at `p` with kFrameBegin, or 0 while it is
// incomplete. Items are walked by their sizes, so value bytes that look like a
// frame end (a distance of 4123 units is 1B 10) are values; a frame that breaks
// that walk ends at the next frame end after its last good item's code.
std::size_t FrameSize(const std::uint8_t* p, std::size_t avail, const ItemReader& item);
// Where the next frame end lies at or after `from`: the frame's size, or 0 while it has not arrived.
std::size_t SizeUpToEnd(const std::uint8_t* p, std::size_t avail, std::size_t from);
bool EndsFrame(const std::uint8_t* p, std::size_t size);

// One setting item "1B code value..." of a set frame: the slot its code names and its value bytes.
struct SettingItem {
    std::size_t slot;
    const std::uint8_t* value;
};
// The items between the brackets of frame `f` when it holds setting items only,
// each whole; `slotOf` gives a code's slot and value width, nullopt for a code
// that is no setting. nullopt for any other frame.
using SlotReader = std::function<std::optional<std::pair<std::size_t, std::size_t>>(std::uint8_t code)>;
std::optional<std::vector<SettingItem>> SettingItems(const std::uint8_t* f, std::size_t size, const SlotReader& slotOf);

class FramedPrinterSim : public SimPrinter {
public:
    // The serial line byte, as the settings reply carries it.
    std::uint8_t SerialConfig() const;
    void SetSerialConfig(std::uint8_t config);

    // Blocks until `count` frames in all have been handled or `timeout` passes.
    bool WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) const;

protected:
    // Not a frame's start: the byte is stray.
    static constexpr std::size_t kStray = static_cast<std::size_t>(-1);
    // A frame start followed by this much without a frame end is taken for noise.
    static constexpr std::size_t kMaxFrame = 4096;

    // With mutex_ held: the size of the frame or command at `p`, 0 while it is
    // incomplete, kStray when `p` starts none this printer knows.
    virtual std::size_t FrameAt(const std::uint8_t* p, std::size_t avail) const = 0;
    // With mutex_ held: acts on one whole frame and adds its answers.
    virtual void HandleFrame(const std::uint8_t* frame, std::size_t size, std::vector<Answer>& answers) = 0;
    // Without the lock, after the frames of a chunk were handled.
    virtual void AfterFrames() {}

    // The answers of the frames completed by this chunk; a script queued on
    // the printer takes their place.
    std::vector<Answer> Respond(const std::uint8_t* data, std::size_t size) override;
    // A new connection starts with no frame half read.
    void OnConnected() override;

    // The serial line as JSON ("serial_config" and "serial_line"), with the
    // model's parity names by bits 4-5; needs mutex_ held.
    std::string SerialLineJson(const std::array<const char*, 4>& parities) const;

    std::uint8_t serialConfig_ = 0;
    // Counted here, reported in the model's counters.
    std::size_t frames_ = 0;
    std::size_t strayBytes_ = 0;

private:
    Bytes pending_; // bytes of a frame not complete yet
    mutable std::condition_variable frameCv_;
};

} // namespace pemberlux::sim
