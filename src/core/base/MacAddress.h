// MAC addresses as people and printers write them: the command line shows one
// form and takes the forms the printers' own tools use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pemberlux {

using MacBytes = std::array<std::uint8_t, 6>;

// "aa:bb:cc:dd:ee:ff": six lower-case pairs joined by colons.
std::string FormatMac(const MacBytes& mac);

// Six pairs of hexadecimal digits joined by colons or by hyphens (one kind
// throughout), or twelve digits without separators; either case. Nothing for
// anything else.
std::optional<MacBytes> ParseMac(std::string_view text);

// A MAC address text in any of those forms, shown as FormatMac; a text that is
// none of them as it stands.
std::string MacShown(std::string_view text);

} // namespace pemberlux
