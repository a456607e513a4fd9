// Test data that shows a lost, repeated or reordered byte: no short period.
#pragma once

#include "core/base/Bytes.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace pemberlux::test {

inline Bytes Pattern(std::size_t size) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + (i >> 11));
    return b;
}

// Bytes as hexadecimal text ("1B 40 0A"); beyond `limit` bytes, " ..." instead of the rest.
inline std::string HexText(const std::vector<std::uint8_t>& bytes,
                           std::size_t limit = std::numeric_limits<std::size_t>::max()) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return bytes.size() > limit ? out + " ..." : out;
}

} // namespace pemberlux::test
