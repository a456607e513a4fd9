#include "FleetTargets.h"

#include "Values.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace pemberlux::cli {

std::string FleetTarget::Name() const {
    return kind + ":" + address + (usbIndex >= 0 ? "@" + std::to_string(usbIndex) : "");
}

std::vector<FleetTarget> ParseTargets(std::string_view text, const std::string& source) {
    std::vector<FleetTarget> targets;
    std::istringstream lines{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string target, model, extra;
        if (!(words >> target)) continue;
        words >> model >> extra;
        auto fail = [&](const std::string& why) {
            Usage("%1:%2: %3: '%4'", {source, std::to_string(number), why, line});
        };
        if (!extra.empty()) fail("one target and at most a model a line");
        FleetTarget t;
        const auto colon = target.find(':');
        t.kind = target.substr(0, colon);
        t.address = colon == std::string::npos ? "" : target.substr(colon + 1);
        t.model = model;
        t.line = number;
        if (t.kind != "tcp" && t.kind != "serial" && t.kind != "lpt" && t.kind != "usb")
            fail("a target is tcp:HOST[:PORT], serial:DEVICE[:…], lpt:DEVICE or usb:VID:PID[@N]");
        if (const auto at = t.address.find('@'); t.kind == "usb" && at != std::string::npos) {
            const auto n = ParseInteger(t.address.substr(at + 1));
            if (!n || *n < 0 || *n > 99) fail("usb:VID:PID@N takes N from 0 to 99");
            t.usbIndex = static_cast<int>(*n);
            t.address.erase(at);
        }
        if (t.address.empty()) fail("no address after '" + t.kind + ":'");
        targets.push_back(std::move(t));
    }
    return targets;
}

} // namespace pemberlux::cli
