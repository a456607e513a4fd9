// The Wi-Fi module of the label printers: the settings the setup dialog edits,
// the key rules, and the settings and reset frames (ESC CR 'S' ... ESC DLE 'E').
#pragma once

#include "core/port/PortCommands.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pemberlux {

// List positions of the dialog, which are also the values the frame carries
// (mode and DHCP are turned around on the wire).
enum : int {
    WIFI_MODE_AP = 0,
    WIFI_MODE_STA = 1,
};
enum : int {
    WIFI_ENCRYPTION_NONE = 0,
    WIFI_ENCRYPTION_WEP64 = 1,
    WIFI_ENCRYPTION_WEP128 = 2,
    WIFI_ENCRYPTION_WPA2_CCMP = 6, // the last; 3-6 are the WPA and WPA2 kinds
};
enum : int {
    WIFI_KEY_HEX = 0,
    WIFI_KEY_ASCII = 1,
};
enum : int {
    WIFI_DHCP_DISABLE = 0,
    WIFI_DHCP_ENABLE = 1,
};

// The words the command line takes and prints for the list settings, in list
// order (a word's place is its value): the English list items of the setup
// dialog when they were fixed. They are a format: never reworded.
inline constexpr std::array<std::string_view, 2> WIFI_MODE_WORDS = {"AP", "STA"};
inline constexpr std::array<std::string_view, WIFI_ENCRYPTION_WPA2_CCMP + 1> WIFI_ENCRYPTION_WORDS = {
    "None", "WEP64", "WEP128", "WPA-PSK(TKIP)", "WPA-PSK(CCMP/AES)", "WPA2-PSK(TKIP)", "WPA2-PSK(CCMP/AES)"};
inline constexpr std::array<std::string_view, 2> WIFI_KEY_FORMAT_WORDS = {"HEX", "ASCII"};

using Ipv4 = std::array<std::uint8_t, 4>;

struct WifiSettings {
    int mode = WIFI_MODE_AP;
    std::string ssid = "LB-610 WF"; // UTF-8 as typed
    int encryption = WIFI_ENCRYPTION_NONE;
    int keyFormat = WIFI_KEY_ASCII;
    std::string key; // UTF-8 as typed
    int dhcp = WIFI_DHCP_ENABLE;
    Ipv4 ip{192, 168, 1, 11};
    Ipv4 mask{255, 255, 255, 0};
    Ipv4 gateway{192, 168, 1, 11};
};

// Text of 7-bit characters only: the module takes one byte per character, so
// anything else would reach it as another name or key than the one typed.
bool IsAsciiText(std::string_view text);

// Whether `key` suits the encryption and key format: WEP64 5 characters or 10
// hex digits, WEP128 13 or 26, WPA/WPA2 8-63 characters or 16-128 hex digits.
// HEX keys go out as byte pairs, so an odd count is refused too; the module
// reads the key up to its first zero byte, so a key holding one (a NUL
// character, a "00" pair) is refused. "None" takes any key and sends none.
bool WifiKeyValid(int encryption, int keyFormat, std::string_view key);

// "a.b.c.d" with four decimal octets; nothing for anything else.
std::optional<Ipv4> ParseIpv4(std::string_view text);
std::string FormatIpv4(const Ipv4& address);

// 1B 0D 53  1B 3E  mode  SSID 00  encryption  key format  key present  key 00
// 01  address  gateway  mask  DHCP  1B 10 45. The caller checked SSID and key;
// with encryption None the key field is empty (00).
Bytes BuildWifiSettingsFrame(const WifiSettings& settings);

} // namespace pemberlux
