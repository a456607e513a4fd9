// The command line's arguments are whatever the user typed: KEY=VALUE lists,
// numbers, list items and label offsets. A parser either refuses with a usage
// failure or gives a value that agrees with the text.
#include "cli/Values.h"
#include "core/label/LabelSettings.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using namespace pemberlux;
using namespace pemberlux::cli;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // One argument a line.
    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        args.push_back(text.substr(start, end - start));
    args.push_back(text.substr(start));
    try {
        const auto pairs = ParseAssignments(args);
        if (pairs.size() != args.size()) __builtin_trap();
        for (std::size_t i = 0; i < pairs.size(); ++i)
            if (pairs[i].first.empty() || pairs[i].first + "=" + pairs[i].second != args[i] ||
                pairs[i].first.find('=') != std::string::npos)
                __builtin_trap();
    } catch (const Failure& f) {
        if (f.code != EXIT_USAGE) __builtin_trap();
    }

    for (const std::string& arg : args) {
        if (const auto n = ParseInteger(arg)) {
            // A sign and digits only, at most nine characters: the value they spell.
            long long spelled = 0;
            for (std::size_t i = (arg[0] == '-' || arg[0] == '+'); i < arg.size(); ++i) {
                if (arg[i] < '0' || arg[i] > '9') __builtin_trap();
                spelled = spelled * 10 + (arg[i] - '0');
            }
            if ((arg[0] == '-' ? -spelled : spelled) != *n) __builtin_trap();
        }
        if (const auto d = ParseDecimal(arg)) {
            for (std::size_t i = (arg[0] == '-' || arg[0] == '+'); i < arg.size(); ++i)
                if ((arg[i] < '0' || arg[i] > '9') && arg[i] != '.') __builtin_trap();
            if (!std::isfinite(*d) && arg.size() < 300) __builtin_trap();
        }
        if (IsMillimetres(arg)) {
            // An offset `label set` takes is within the 16-bit field and reads as it is shown.
            const std::int16_t dots = MillimetresToDots(arg);
            if (std::abs(dots) > 32767) __builtin_trap();
            const std::string shown = ValueText(MillimetresValue(DotsToMillimetresText(dots)));
            if (MillimetresToDots(shown) != dots) __builtin_trap();
        }
        const std::vector<std::string> items = {"Off", "On", "Label Paper"};
        if (const auto i = FindItem(items, arg)) {
            if (*i < 0 || *i > 2 || items[static_cast<std::size_t>(*i)].size() != arg.size()) __builtin_trap();
        }
    }
    return 0;
}
