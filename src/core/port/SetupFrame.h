// The envelope every printer family reads a settings frame in:
// SETUP_BEGIN, items "1B code value...", SETUP_END.
#pragma once

#include "core/base/Bytes.h"

#include <array>
#include <cstdint>

namespace pemberlux {

inline constexpr std::array<std::uint8_t, 3> SETUP_BEGIN = {0x1B, 0x0D, 0x53};
inline constexpr std::array<std::uint8_t, 3> SETUP_END = {0x1B, 0x10, 0x45};

} // namespace pemberlux
