// The interface settings record: stored in pemberlux.ini, copied into every
// page, handed between windows, and read by the port layer.
#pragma once

#include "core/base/Guarded.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace pemberlux {

enum PortKind : int {
    PORT_COM = 1,
    PORT_LPT = 2,
    PORT_USB = 3,
    PORT_LAN = 4,
};

// The baud rates a printer's serial line takes, in the order the serial
// configuration byte numbers them (bits 0-2).
inline constexpr std::array<std::string_view, 8> SERIAL_BAUD_RATES = {"1200",  "2400",  "4800",  "9600",
                                                                      "19200", "38400", "57600", "115200"};

struct PortSettings {
    std::string modelName;
    PortKind portKind{}; // 0 until an interface is chosen
    std::string comName;
    std::string baudRate;
    std::string parity;
    std::string dataBits;
    std::string stopBits;
    std::string flowControl;
    std::string lptName;
    std::string language;
    std::string ipAddress;
    int tcpPort = 0;
    // The numeric IPv4 and IPv6 addresses a host name in ipAddress was resolved
    // to, which the network open tries in order (the command line's host
    // names); empty: ipAddress is the address. Never stored.
    std::vector<std::string> resolvedAddresses;

    // Rewrites ./pemberlux.ini from this record (see SettingsFile.h).
    bool SaveSettings() const;

    bool operator==(const PortSettings&) const = default;
};

// Process-wide copies: the one the port layer reads (written on the GUI thread,
// read by the opens of worker threads, hence guarded), and the ones the serial
// and parallel interface dialogs edit.
extern Guarded<PortSettings> CurrentPortSettings;
extern PortSettings SerialDialogSettings;
extern PortSettings ParallelDialogSettings;

} // namespace pemberlux
