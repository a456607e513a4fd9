// The one byte-buffer type: frames, replies, file contents.
#pragma once

#include <cstdint>
#include <vector>

namespace pemberlux {

using Bytes = std::vector<std::uint8_t>;

} // namespace pemberlux
