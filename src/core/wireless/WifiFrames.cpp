#include "core/wireless/WifiFrames.h"

#include "core/port/SetupFrame.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace pemberlux {

namespace {

bool IsHexDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return (std::tolower(static_cast<unsigned char>(c)) - 'a') + 10;
}

void AppendAddress(Bytes& frame, const Ipv4& address) {
    frame.insert(frame.end(), address.begin(), address.end());
}

} // namespace

bool IsAsciiText(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool WifiKeyValid(int encryption, int keyFormat, std::string_view key) {
    if (encryption == WIFI_ENCRYPTION_NONE) return true;
    if (encryption < WIFI_ENCRYPTION_NONE || encryption > WIFI_ENCRYPTION_WPA2_CCMP) return false;
    // The module reads the key up to its first zero byte, so none may be inside.
    if (!IsAsciiText(key) || key.find('\0') != std::string_view::npos) return false;
    const std::size_t n = key.size();
    if (keyFormat == WIFI_KEY_ASCII) {
        if (encryption == WIFI_ENCRYPTION_WEP64) return n == 5;
        if (encryption == WIFI_ENCRYPTION_WEP128) return n == 13;
        return n >= 8 && n <= 63;
    }
    if (!IsHexDigits(key) || n % 2 != 0) return false;
    for (std::size_t i = 0; i < n; i += 2)
        if (key[i] == '0' && key[i + 1] == '0') return false;
    if (encryption == WIFI_ENCRYPTION_WEP64) return n == 10;
    if (encryption == WIFI_ENCRYPTION_WEP128) return n == 26;
    return n >= 16 && n <= 128;
}

std::optional<Ipv4> ParseIpv4(std::string_view text) {
    Ipv4 address{};
    std::size_t at = 0;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != '.') return std::nullopt;
            ++at;
        }
        const std::size_t start = at;
        while (at < text.size() && at - start < 3 && std::isdigit(static_cast<unsigned char>(text[at])))
            ++at;
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data() + start, text.data() + at, value);
        if (error != std::errc() || end != text.data() + at || value > 255) return std::nullopt;
        address[i] = static_cast<std::uint8_t>(value);
    }
    if (at != text.size()) return std::nullopt;
    return address;
}

std::string FormatIpv4(const Ipv4& address) {
    std::string text;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i > 0) text += '.';
        text += std::to_string(address[i]);
    }
    return text;
}

Bytes BuildWifiSettingsFrame(const WifiSettings& s) {
    Bytes frame{0x1B, 0x3E};
    frame.push_back(s.mode == WIFI_MODE_AP ? 0x02 : 0x00);
    frame.insert(frame.end(), s.ssid.begin(), s.ssid.end());
    frame.push_back(0x00);
    frame.push_back(static_cast<std::uint8_t>(s.encryption));
    frame.push_back(static_cast<std::uint8_t>(s.keyFormat));
    const bool keyed = s.encryption != WIFI_ENCRYPTION_NONE;
    frame.push_back(keyed ? 0x01 : 0x00);
    // Without encryption the key field stays empty, whatever was typed.
    if (!keyed) {
    } else if (s.keyFormat == WIFI_KEY_HEX) {
        for (std::size_t i = 0; i + 1 < s.key.size(); i += 2)
            frame.push_back(static_cast<std::uint8_t>(HexValue(s.key[i]) << 4 | HexValue(s.key[i + 1])));
    } else {
        frame.insert(frame.end(), s.key.begin(), s.key.end());
    }
    frame.push_back(0x00);
    frame.push_back(0x01);
    AppendAddress(frame, s.ip);
    AppendAddress(frame, s.gateway);
    AppendAddress(frame, s.mask);
    // The module reads 0 as "DHCP on": the other way round from the list.
    frame.push_back(s.dhcp == WIFI_DHCP_ENABLE ? 0x00 : 0x01);
    return WrapSetupItems(frame);
}

} // namespace pemberlux
