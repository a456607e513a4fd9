// The Bluetooth module of the label printers: its name and pairing password
// are written with ESC CR 'H', restored with ESC CR 'I' and read with ESC CR
// 'G', which the printer answers with MAC address, password and name.
#pragma once

#include "core/port/Exchange.h"
#include "core/port/PortCommands.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pemberlux {

enum class BluetoothOperation { Send = 0, Restore = 1, Read = 2 };

constexpr std::size_t BT_NAME_FIELD_SIZE = 16;
constexpr std::size_t BT_PASSWORD_SIZE = 4;
constexpr std::size_t BT_SEND_FRAME_SIZE = 25;
constexpr std::size_t BT_ANSWER_SIZE = 26;
// The name edit takes at most this many characters (the field keeps a zero after it).
constexpr int BT_NAME_MAX_CHARS = 15;
constexpr int BT_READ_TIMEOUT_MS = 10000;

extern const std::array<std::uint8_t, 3> BT_FRAME_RESTORE; // 1B 0D 49
extern const std::array<std::uint8_t, 3> BT_FRAME_READ;    // 1B 0D 47

// Nothing when the name and password may be sent, else the string to show:
// BluetoothNameInvalid for a name that is empty, longer than the field or not
// 7-bit text, BluetoothPasswordInvalid for a password that is not four 7-bit
// characters. Texts are UTF-8.
std::optional<StringId> CheckBluetoothInputs(std::string_view name, std::string_view password);

// 1B 0D 48, the name padded with zeros to 16 bytes, the 4 password bytes, 00 10.
// The caller checked the texts.
Bytes BuildBluetoothSendFrame(std::string_view name, std::string_view password);

// The answer to the read is whole at 26 bytes; the printer has 10 s to give it.
ReplyRule BluetoothReadRule();

struct BluetoothInfo {
    std::string mac;      // "00-1B-35-0A-FF-12"
    std::string password; // UTF-8, one character per byte, up to a zero byte
    std::string name;     // likewise, up to the first zero byte
};

// The settings in a whole answer; nothing for a shorter one.
std::optional<BluetoothInfo> DecodeBluetoothAnswer(std::span<const std::uint8_t> answer);

} // namespace pemberlux
