#include "core/base/DecimalText.h"

#include <algorithm>

namespace pemberlux {

long long ScaledDecimal(std::string_view whole, std::string_view fraction, unsigned factor, long long cap) {
    // The fraction times the factor, from its last digit up: what carries out
    // of the first digit is the whole part of that product.
    long long carry = 0;
    for (auto it = fraction.rbegin(); it != fraction.rend(); ++it)
        carry = ((*it - '0') * static_cast<long long>(factor) + carry) / 10;
    long long value = 0;
    for (char c : whole) {
        value = value * 10 + (c - '0');
        if (value > cap) return cap;
    }
    return std::min(value * static_cast<long long>(factor) + carry, cap);
}

} // namespace pemberlux
