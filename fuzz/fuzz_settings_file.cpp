// The settings file is whatever a user or another program left in the folder:
// read any text, save what was read, read that again. Whatever the program kept
// from the file must come back unchanged, and a second save must give the same text.
#include "core/base/SettingsFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace pemberlux;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    PortSettings first;
    ReadSettingsText(text, first);
    const std::string saved = FormatSettings(first);
    PortSettings second;
    ReadSettingsText(saved, second);
    if (!(second == first)) __builtin_trap();
    if (FormatSettings(second) != saved) __builtin_trap();
    return 0;
}
