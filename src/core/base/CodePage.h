// Text the printers send in their own code page: GB18030 (the superset of the
// GBK they use) with the Chinese interface, Windows-1252 otherwise.
#pragma once

#include <string>
#include <string_view>

namespace pemberlux {

// `bytes` read in the code page of `langId` (2052: GB18030, else Windows-1252),
// returned as UTF-8. Bytes that are not valid there become U+FFFD.
std::string DecodeCodePage(std::string_view bytes, int langId);

} // namespace pemberlux
