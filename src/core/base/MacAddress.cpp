#include "core/base/MacAddress.h"

#include <cstdio>

namespace pemberlux {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::string FormatMac(const MacBytes& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

std::optional<MacBytes> ParseMac(std::string_view text) {
    std::size_t step = 0;
    if (text.size() == 12) {
        step = 2;
    } else if (text.size() == 17 && (text[2] == ':' || text[2] == '-')) {
        step = 3;
        for (std::size_t i = 2; i < text.size(); i += 3)
            if (text[i] != text[2]) return std::nullopt;
    } else {
        return std::nullopt;
    }
    MacBytes mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const int high = HexValue(text[i * step]);
        const int low = HexValue(text[i * step + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        mac[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return mac;
}

std::string MacShown(std::string_view text) {
    if (const auto mac = ParseMac(text)) return FormatMac(*mac);
    return std::string(text);
}

} // namespace pemberlux
