// Decimal numbers as typed, read exactly: digits, not floating point.
#pragma once

#include <string_view>

namespace pemberlux {

// The magnitude of the decimal number `whole`.`fraction` (digit strings, either
// may be empty) times `factor`, truncated toward zero, worked out on the digits,
// so that no rounding of a long fraction carries it over a whole number
// ("12.99999999999999999" × 8 is 103, not 104). Saturates at `cap`, which
// times `factor` must fit in a long long.
long long ScaledDecimal(std::string_view whole, std::string_view fraction, unsigned factor, long long cap);

} // namespace pemberlux
