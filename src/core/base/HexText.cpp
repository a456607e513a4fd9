#include "core/base/HexText.h"

namespace pemberlux {

namespace {

bool IsSeparator(char32_t c) {
    return c == u' ' || c == u'\r' || c == u'\n';
}

int DigitValue(char32_t c) {
    if (c >= u'0' && c <= u'9') return static_cast<int>(c - u'0');
    if (c >= u'A' && c <= u'F') return static_cast<int>(c - u'A') + 10;
    if (c >= u'a' && c <= u'f') return static_cast<int>(c - u'a') + 10;
    return -1;
}

template <class Text> std::optional<std::size_t> Parse(const Text& text, Bytes& out) {
    Bytes bytes;
    bytes.reserve(text.size() / 2);
    const std::size_t length = text.size();
    std::size_t i = 0;
    while (i < length) {
        const auto high = static_cast<char32_t>(text[i]);
        if (IsSeparator(high)) {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < length && IsSeparator(static_cast<char32_t>(text[j])))
            ++j;
        const int h = DigitValue(high);
        if (j >= length) {
            // A lone last digit is dropped; a lone last character that is no digit is refused like any other.
            if (h < 0) return std::nullopt;
            break;
        }
        const int l = DigitValue(static_cast<char32_t>(text[j]));
        if (h < 0 || l < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(h * 16 + l));
        i = j + 1;
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
    return bytes.size();
}

} // namespace

std::optional<std::size_t> ParseHexText(std::u16string_view text, Bytes& out) {
    return Parse(text, out);
}

std::optional<std::size_t> ParseHexText(std::string_view bytes, Bytes& out) {
    // One character per byte: a byte is its own code, never a negative char.
    struct Unsigned {
        std::string_view s;
        std::size_t size() const { return s.size(); }
        unsigned char operator[](std::size_t i) const { return static_cast<unsigned char>(s[i]); }
    };
    return Parse(Unsigned{bytes}, out);
}

} // namespace pemberlux
