// The envelope every printer family reads a settings frame in:
// SETUP_BEGIN, items "1B code value...", SETUP_END.
#pragma once

#include "core/base/Bytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pemberlux {

inline constexpr std::array<std::uint8_t, 3> SETUP_BEGIN = {0x1B, 0x0D, 0x53};
inline constexpr std::array<std::uint8_t, 3> SETUP_END = {0x1B, 0x10, 0x45};

// `a` followed by `b`, for frames fixed at compile time.
template <std::size_t A, std::size_t B>
constexpr std::array<std::uint8_t, A + B> JoinBytes(const std::array<std::uint8_t, A>& a,
                                                    const std::array<std::uint8_t, B>& b) {
    std::array<std::uint8_t, A + B> out{};
    for (std::size_t i = 0; i < A; ++i)
        out[i] = a[i];
    for (std::size_t i = 0; i < B; ++i)
        out[A + i] = b[i];
    return out;
}

// SETUP_BEGIN and `items` with no end: what download mode takes.
template <std::size_t N> constexpr std::array<std::uint8_t, N + 3> SetupOpened(const std::uint8_t (&items)[N]) {
    std::array<std::uint8_t, N> body{};
    for (std::size_t i = 0; i < N; ++i)
        body[i] = items[i];
    return JoinBytes(SETUP_BEGIN, body);
}

// A one-item query or action frame: SETUP_BEGIN, `item`, SETUP_END.
template <std::size_t N> constexpr std::array<std::uint8_t, N + 6> SetupFrame(const std::uint8_t (&item)[N]) {
    return JoinBytes(SetupOpened(item), SETUP_END);
}

// The same for items gathered at run time (a set frame of the changed settings).
inline Bytes WrapSetupItems(std::span<const std::uint8_t> items) {
    Bytes frame;
    frame.reserve(SETUP_BEGIN.size() + items.size() + SETUP_END.size());
    frame.insert(frame.end(), SETUP_BEGIN.begin(), SETUP_BEGIN.end());
    frame.insert(frame.end(), items.begin(), items.end());
    frame.insert(frame.end(), SETUP_END.begin(), SETUP_END.end());
    return frame;
}

} // namespace pemberlux
