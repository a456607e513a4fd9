// Hexadecimal text to bytes, as the user types it into the command box or the
// test file holds it: pairs of digits, with space, CR and LF as separators
// anywhere (also between the two digits of a byte).
#pragma once

#include "core/base/Bytes.h"
#include "core/base/StringId.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace pemberlux {

// The message a caller shows, with the stop icon, when ParseHexText finds no bytes.
constexpr StringId HEX_TEXT_ERROR_STRING = StringId::NotHexData;

// Appends the bytes of `text` to `out` and returns how many; a last digit
// without its partner is dropped. Any character other than a hexadecimal digit
// or a separator, the last one included, makes it return nothing with nothing
// appended (the caller then shows HEX_TEXT_ERROR_STRING). Characters above FF
// are never digits.
std::optional<std::size_t> ParseHexText(std::u16string_view text, Bytes& out);
// The same over a file's bytes, one character per byte.
std::optional<std::size_t> ParseHexText(std::string_view bytes, Bytes& out);

} // namespace pemberlux
