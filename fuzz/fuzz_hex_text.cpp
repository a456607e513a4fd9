// What the user types into the command box and what testPrint.qv holds: the
// hexadecimal reader over one-byte and two-byte characters, and the encoder of
// typed text. A refusal keeps nothing; what was read, written out again as
// pairs of digits, reads back the same; the encoder never fails.
#include "core/base/HexText.h"
#include "core/command/CommandData.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace pemberlux;

namespace {

void CheckRead(std::optional<std::size_t> n, const std::vector<std::uint8_t>& out, std::size_t characters) {
    if (!n) {
        if (out.size() != 1) __builtin_trap(); // only the marker byte put in first
        return;
    }
    if (out.size() != *n + 1 || *n > characters / 2) __builtin_trap();
    std::string again;
    for (std::size_t i = 1; i < out.size(); ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, i % 2 ? "%02x " : "%02X\n", out[i]);
        again += pair;
    }
    std::vector<std::uint8_t> back;
    if (ParseHexText(std::string_view(again), back) != n ||
        !std::equal(back.begin(), back.end(), out.begin() + 1, out.end()))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // As the bytes of a file, one character each.
    std::vector<std::uint8_t> out = {0xEE};
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckRead(ParseHexText(bytes, out), out, size);

    // As typed text, two bytes a character.
    std::u16string text(size / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    out = {0xEE};
    const std::optional<std::size_t> n = ParseHexText(text, out);
    CheckRead(n, out, text.size());

    // The command box: hexadecimal as above, or text through the printer's character sets.
    const auto hex = CommandBytes(text, true);
    if (hex.has_value() != n.has_value()) __builtin_trap();
    const auto typed = CommandBytes(text, false);
    if (!typed || *typed != TextToPrinterBytes(text)) __builtin_trap();
    // Every character becomes one or two bytes, and Chinese text gains a LF.
    if (typed->size() > 2 * text.size() + 1) __builtin_trap();
    return 0;
}
