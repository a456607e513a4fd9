// A profile file is whatever the user gives `profile diff` and `profile apply`:
// any text either is refused with a file failure or is a profile of the
// expected shape, whose settings are single values and which reads back the
// same once written out.
#include "cli/Values.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace pemberlux::cli;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Json profile;
    try {
        profile = ParseProfile(text, "p.json");
    } catch (const Failure& f) {
        if (f.code != EXIT_FILE) __builtin_trap();
        return 0;
    }
    if (!profile.is_object() || !profile.at("settings").is_object()) __builtin_trap();
    for (const auto& item : profile.at("settings").items()) {
        if (item.value().is_structured()) __builtin_trap();
        (void)ValueText(item.value());
    }
    const std::string written = profile.dump(2);
    try {
        if (ParseProfile(written, "again.json") != profile) __builtin_trap();
    } catch (const Failure&) {
        __builtin_trap();
    }
    return 0;
}
