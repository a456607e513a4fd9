#include "core/wireless/BluetoothFrames.h"

#include "core/wireless/WifiFrames.h"

#include <cstdio>

namespace pemberlux {

const std::array<std::uint8_t, 3> BT_FRAME_RESTORE{0x1B, 0x0D, 0x49};
const std::array<std::uint8_t, 3> BT_FRAME_READ{0x1B, 0x0D, 0x47};

namespace {

// Each byte as the character of that code (Latin-1), in UTF-8, up to a zero byte.
std::string TextOf(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        if (b == 0) break;
        if (b < 0x80) {
            text += static_cast<char>(b);
        } else {
            text += static_cast<char>(0xC0 | (b >> 6));
            text += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return text;
}

} // namespace

std::optional<StringId> CheckBluetoothInputs(std::string_view name, std::string_view password) {
    if (name.empty() || name.size() > BT_NAME_FIELD_SIZE || !IsAsciiText(name)) return StringId::BluetoothNameInvalid;
    if (password.size() != BT_PASSWORD_SIZE || !IsAsciiText(password)) return StringId::BluetoothPasswordInvalid;
    return std::nullopt;
}

Bytes BuildBluetoothSendFrame(std::string_view name, std::string_view password) {
    Bytes frame{0x1B, 0x0D, 0x48};
    for (std::size_t i = 0; i < BT_NAME_FIELD_SIZE; ++i)
        frame.push_back(i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0x00);
    for (std::size_t i = 0; i < BT_PASSWORD_SIZE; ++i)
        frame.push_back(i < password.size() ? static_cast<std::uint8_t>(password[i]) : 0x00);
    frame.push_back(0x00);
    frame.push_back(0x10);
    return frame;
}

ReplyRule BluetoothReadRule() {
    ReplyRule rule;
    rule.maxBytes = 1024;
    rule.complete = [](const std::uint8_t*, std::size_t size) { return size >= BT_ANSWER_SIZE; };
    rule.timeout = std::chrono::milliseconds(BT_READ_TIMEOUT_MS);
    // The rest of an answer that has begun may take the whole time-out too.
    rule.silence = std::chrono::milliseconds(BT_READ_TIMEOUT_MS);
    return rule;
}

std::optional<BluetoothInfo> DecodeBluetoothAnswer(std::span<const std::uint8_t> answer) {
    if (answer.size() < BT_ANSWER_SIZE) return std::nullopt;
    BluetoothInfo info;
    char mac[18];
    std::snprintf(mac, sizeof mac, "%02X-%02X-%02X-%02X-%02X-%02X", answer[0], answer[1], answer[2], answer[3],
                  answer[4], answer[5]);
    info.mac = mac;
    info.password = TextOf(answer.subspan(6, BT_PASSWORD_SIZE));
    info.name = TextOf(answer.subspan(10, BT_NAME_FIELD_SIZE));
    return info;
}

} // namespace pemberlux
