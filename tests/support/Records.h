// Settings records as a user would have them, for tests and benchmarks.
#pragma once

#include "core/base/PortSettings.h"

#include <string>

namespace pemberlux::test {

// A user who chose `model` and the interface `kind`, with COM1 at 9600 8N1 and
// hardware handshake, LPT1, the printer at 127.0.0.1:9100, in English.
inline PortSettings UserRecord(const std::string& model = "LB-610", PortKind kind = PORT_USB) {
    PortSettings s;
    s.modelName = model;
    s.portKind = kind;
    s.comName = "COM1";
    s.baudRate = "9600";
    s.parity = "None";
    s.dataBits = "8";
    s.stopBits = "1";
    s.flowControl = "DTR";
    s.lptName = "LPT1";
    s.language = "English";
    s.ipAddress = "127.0.0.1";
    s.tcpPort = 9100;
    return s;
}

} // namespace pemberlux::test
