// Test data that shows a lost, repeated or reordered byte: no short period.
#pragma once

#include "core/base/Bytes.h"

#include <cstddef>
#include <cstdint>

namespace pemberlux::test {

inline Bytes Pattern(std::size_t size) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + (i >> 11));
    return b;
}

} // namespace pemberlux::test
