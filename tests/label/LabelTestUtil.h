// Hex text to bytes and back, for readable frame assertions.
#pragma once

#include "core/label/LabelSettings.h"

#include "Patterns.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace pemberlux::test {

inline std::vector<std::uint8_t> Hex(const std::string& text) {
    std::vector<std::uint8_t> out;
    std::string digits;
    for (char c : text)
        if (c != ' ') digits += c;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::strtoul(digits.substr(i, 2).c_str(), nullptr, 16)));
    return out;
}

} // namespace pemberlux::test

namespace pemberlux {
// Readable failures for value comparisons.
inline void PrintTo(const LabelSettingValues& values, std::ostream* os) {
    for (int pos = 0; pos < LABEL_SETTING_COUNT; ++pos) {
        const auto i = static_cast<std::size_t>(pos);
        *os << (pos ? ", " : "{") << LABEL_SETTINGS[i].key << '=';
        if (LABEL_SETTINGS[i].IsList())
            *os << values.selection[i];
        else
            *os << '"' << values.text[i] << '"';
    }
    *os << '}';
}
} // namespace pemberlux
