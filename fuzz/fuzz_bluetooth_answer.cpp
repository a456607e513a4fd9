// The Bluetooth module's answer is whatever arrives: a whole answer decodes,
// a short one does not, and the texts decoded never run past their fields.
// Then names and passwords of any bytes through the input check and the frame.
#include "core/wireless/BluetoothFrames.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

using namespace pemberlux;

namespace {

std::string Field(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        if (b == 0) break;
        text += static_cast<char>(b);
    }
    return text;
}

// UTF-8 of characters up to FF back to one byte each; anything else fails.
std::string Latin1(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size() &&
                   (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            out += static_cast<char>((c & 0x03) << 6 | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            __builtin_trap();
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> answer(data, size);
    const auto info = DecodeBluetoothAnswer(answer);
    if (info.has_value() != (size >= 26)) __builtin_trap();
    if (info) {
        if (info->mac.size() != 17) __builtin_trap();
        // Each text is its field's bytes up to the first zero, one character a byte.
        if (Latin1(info->password) != Field(answer.subspan(6, 4)) ||
            Latin1(info->name) != Field(answer.subspan(10, 16)))
            __builtin_trap();
    }

    // The same bytes as a name and a password the user typed.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = size ? data[0] % (size + 1) : 0;
    const std::string_view name = text.substr(0, cut), password = text.substr(cut);
    if (CheckBluetoothInputs(name, password)) return 0;
    const Bytes frame = BuildBluetoothSendFrame(name, password);
    // 1B 0D 48, 16 name bytes, 4 password bytes, 00 10.
    if (frame.size() != 25 || frame[0] != 0x1B || frame[1] != 0x0D || frame[2] != 0x48 || frame[23] != 0x00 ||
        frame[24] != 0x10)
        __builtin_trap();
    if (std::string_view(reinterpret_cast<const char*>(frame.data()) + 3, name.size()) != name) __builtin_trap();
    return 0;
}
