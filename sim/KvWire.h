// The key-value configuration protocol as a label printer's network module
// speaks it: a fixed header, fixed-width "KEY = value" lines and an end line.
// The simulator's own encoder and decoder, written from the protocol
// description; they share nothing with the program's, so each side checks
// the other.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pemberlux::sim::kv {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint16_t kPort = 22094;
inline constexpr std::array<std::uint8_t, 6> kMagic{0x00, 0x0D, 0xAC, 0x00, 0x0D, 0xAC};
inline constexpr std::uint8_t kRequest = 0x00;
inline constexpr std::uint8_t kReply = 0xFF;
// Magic, direction, command (32 bits, low byte first).
inline constexpr std::size_t kHeaderSize = 11;
inline constexpr std::string_view kEndLine{"*END* = \r\n", 10};

enum Command : std::uint32_t { kSearch = 1, kQuery = 2, kSet = 3 };

struct Key {
    std::string_view name;
    std::size_t width;
};

// Every key the module knows, in the order it writes them.
inline constexpr std::array<Key, 11> kKeys{{
    {"DEV", 20},
    {"VER", 20},
    {"SERIAL_NUM", 20},
    {"MAC", 12},
    {"IP_CUR", 15},
    {"DHCP", 1},
    {"IP", 15},
    {"SUBNET_MASK", 15},
    {"GATEWAY", 15},
    {"PRNT_PORT", 5},
    {"PRNT_RCV_TMO", 5},
}};

// Key and value (trailing padding removed), in line order.
using Fields = std::vector<std::pair<std::string, std::string>>;

// The value of `key`, if a line carries it.
std::optional<std::string> Find(const Fields& fields, std::string_view key);

// `key`, " = ", `value` padded with spaces or cut to `width`, CR LF.
std::string Line(std::string_view key, std::size_t width, std::string_view value);
// The line of a known key at its width; unknown keys are a programming error.
std::string Line(std::string_view key, std::string_view value);

// Header, `lines` as they stand, and the end line unless `endLine` is false.
Bytes Datagram(std::uint8_t direction, std::uint32_t command, std::string_view lines, bool endLine = true);

struct Message {
    std::uint8_t direction = 0;
    std::uint32_t command = 0;
    Fields fields;
};

// A whole datagram as the module reads it: the magic, a direction, a command,
// then lines of known keys, each value exactly its key's width and followed by
// CR LF, then the end line and nothing after it. Anything else is not taken
// (nullopt, with the reason in `why`).
std::optional<Message> Parse(const std::uint8_t* data, std::size_t size, std::string* why = nullptr);

} // namespace pemberlux::sim::kv
