// The Wi-Fi frame from any SSID and key: whatever the checks let through goes
// out so that the module, reading each text up to its first zero byte, finds
// the SSID and the key the user gave and the frame's fixed fields in place.
#include "core/wireless/WifiFrames.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace pemberlux;

namespace {

int HexValue(char c) {
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    WifiSettings s;
    s.mode = data[0] & 1;
    s.encryption = (data[0] >> 1) % 7;
    s.keyFormat = (data[0] >> 4) & 1;
    s.dhcp = (data[0] >> 5) & 1;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::size_t cut = data[1] % (rest.size() + 1);
    s.ssid = std::string(rest.substr(0, cut));
    s.key = std::string(rest.substr(cut));

    // The checks the dialog and the command line run before anything is sent.
    if (s.ssid.empty() || !IsAsciiText(s.ssid) || s.ssid.find('\0') != std::string::npos) return 0;
    if (!WifiKeyValid(s.encryption, s.keyFormat, s.key)) return 0;
    const Bytes frame = BuildWifiSettingsFrame(s);

    // The module's reading: header, mode, SSID up to 00, three bytes, key up to 00, 01, 13 bytes, end.
    std::size_t at = 0;
    const auto need = [&](std::size_t n) {
        if (at + n > frame.size()) __builtin_trap();
    };
    need(6);
    if (frame[0] != 0x1B || frame[1] != 0x0D || frame[2] != 0x53 || frame[3] != 0x1B || frame[4] != 0x3E)
        __builtin_trap();
    if (frame[5] != (s.mode == WIFI_MODE_AP ? 0x02 : 0x00)) __builtin_trap();
    at = 6;
    std::string ssid;
    for (need(1); frame[at] != 0; need(1))
        ssid += static_cast<char>(frame[at++]);
    ++at;
    if (ssid != s.ssid) __builtin_trap();
    need(3);
    const bool keyed = s.encryption != WIFI_ENCRYPTION_NONE;
    if (frame[at] != s.encryption || frame[at + 1] != s.keyFormat || frame[at + 2] != (keyed ? 1 : 0)) __builtin_trap();
    at += 3;
    std::string key;
    for (need(1); frame[at] != 0; need(1))
        key += static_cast<char>(frame[at++]);
    ++at;
    std::string expected;
    if (keyed && s.keyFormat == WIFI_KEY_ASCII) expected = s.key;
    if (keyed && s.keyFormat == WIFI_KEY_HEX)
        for (std::size_t i = 0; i + 1 < s.key.size(); i += 2)
            expected += static_cast<char>(HexValue(s.key[i]) << 4 | HexValue(s.key[i + 1]));
    if (key != expected) __builtin_trap();
    if (frame.size() != at + 17 || frame[at] != 0x01) __builtin_trap();
    if (frame[frame.size() - 4] != (s.dhcp == WIFI_DHCP_ENABLE ? 0x00 : 0x01)) __builtin_trap();
    if (frame[frame.size() - 3] != 0x1B || frame[frame.size() - 2] != 0x10 || frame[frame.size() - 1] != 0x45)
        __builtin_trap();
    return 0;
}
