// A printer family's settings as one table, its schema: for each setting the
// stable key profiles and the command line name it by, its place in a set
// frame and in the settings reply, the kind of its value (with a list's value
// words) and its limits. A family's frames, reply decoding and range checks,
// the profiles, the command line's KEY=VALUE arguments and the settings pages
// all read their settings from it; the windows map its entries to their
// controls, the core knows no control.
//
// Keys and value words are a file format: they are never reworded. What a
// window shows for a value is its own text, looked up by the entry's position.
#pragma once

#include "core/base/Bytes.h"
#include "core/port/SetupFrame.h"

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pemberlux {

enum class SettingKind {
    List,        // one of `words`; it travels as the item's code
    Millimetres, // a decimal number of millimetres; it travels in the family's `unit`
    Integer,     // a whole number; it travels as 16 bits
};

struct SettingEntry {
    int pos;                 // position: the order in a set frame, the index into the family's arrays
    std::string_view key;    // the profile's and the command line's name ("print_speed"); fixed
    std::uint8_t setCode;    // the item in a set frame: 1B setCode value...
    std::size_t replyOffset; // the value's first byte in the settings reply
    std::size_t replyWidth;  // 1, or 2 for 16 bits, low byte first
    SettingKind kind;
    // List: the values as profiles and the command line write them, in list
    // order (the English list items of the first version: every profile saved
    // since loads the same).
    std::span<const std::string_view> words = {};
    int firstCode = 0;          // List: the code of the first word; each next word's is one more
    std::string_view unit = {}; // Millimetres: the unit it travels in ("dot", "1/144 in")
    int min = 0;                // Millimetres, Integer: the range the whole part is held to
    int max = 0;

    bool IsList() const { return kind == SettingKind::List; }
};

// A list's selection when it has none.
inline constexpr int NO_SELECTION = -1;

// What a settings page's controls hold, by position: the selection of each
// list (NO_SELECTION when none) and the text of each edit. Entries of the
// other kind are unused. A new page has no selections and empty texts.
template <std::size_t N> struct SettingValues {
    std::array<int, N> selection;
    std::array<std::string, N> text;

    SettingValues() { selection.fill(NO_SELECTION); }
    bool operator==(const SettingValues&) const = default;
};

// One mark per position: the settings a Send Settings writes.
template <std::size_t N> using SettingMarks = std::bitset<N>;

// The entry whose key is `key`, or nullptr.
template <std::size_t N>
const SettingEntry* SettingByKey(const std::array<SettingEntry, N>& schema, std::string_view key) {
    for (const SettingEntry& entry : schema)
        if (entry.key == key) return &entry;
    return nullptr;
}

// The write-settings frame: SETUP_BEGIN, the item `encode(pos)` gives for
// each marked position in position order (an empty item sends nothing for it),
// SETUP_END. Building does not clear the marks.
template <std::size_t N, class Encode> Bytes BuildSetFrame(const SettingMarks<N>& marks, Encode encode) {
    Bytes items;
    for (std::size_t pos = 0; pos < N; ++pos) {
        if (!marks.test(pos)) continue;
        const Bytes item = encode(static_cast<int>(pos));
        items.insert(items.end(), item.begin(), item.end());
    }
    return WrapSetupItems(items);
}

// The index of `word` among a list's words, compared without case; -1 when it is none of them.
int WordIndex(const SettingEntry& entry, std::string_view word);

} // namespace pemberlux
