// The printers of a fleet as a targets file lists them: one a line,
// `tcp:HOST[:PORT]`, `serial:DEVICE[:BAUD[:…]]`, `lpt:DEVICE` or
// `usb:VID:PID[@N]`, each optionally followed by a model; `#` starts a comment.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pemberlux::cli {

struct FleetTarget {
    std::string kind;    // tcp, serial, lpt, usb
    std::string address; // what follows the kind: HOST[:PORT], DEVICE[:…], VID:PID
    int usbIndex = -1;   // usb:VID:PID@N: the N-th printer with these ids (from 0)
    std::string model;   // as given; empty: from the network search or --model
    int line = 0;        // in the targets file; 0 for a printer the search found

    // "tcp:127.0.0.1:9100", "usb:3A7E:5E10@1": how the reports name the printer.
    std::string Name() const;
};

// The targets of `text`, in order. A line that is not a target is a usage
// failure naming `source` and the line; nothing is checked against a printer.
std::vector<FleetTarget> ParseTargets(std::string_view text, const std::string& source);

} // namespace pemberlux::cli
