// A fleet's targets file is whatever the user wrote, or what a script piped
// in. It is read whole or refused with a usage failure; every target read
// names a known kind and an address, and its name reads back as a target.
#include "cli/FleetTargets.h"
#include "cli/Values.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace pemberlux::cli;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        for (const FleetTarget& t : ParseTargets(text, "fuzz")) {
            if (t.kind != "tcp" && t.kind != "serial" && t.kind != "lpt" && t.kind != "usb") __builtin_trap();
            if (t.address.empty() || t.line < 1) __builtin_trap();
            const auto again = ParseTargets(t.Name() + " " + t.model, "again");
            if (again.size() != 1 || again[0].Name() != t.Name() || again[0].model != t.model) __builtin_trap();
        }
    } catch (const Failure& f) {
        if (f.code != EXIT_USAGE) __builtin_trap();
    }
    return 0;
}
