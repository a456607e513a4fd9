// Destination of every UDP broadcast the program sends.
#pragma once

#include <string>

namespace pemberlux {

// PEMBERLUX_BROADCAST_ADDR when set (tests and the demo use 127.255.255.255,
// the loopback broadcast), else the limited broadcast 255.255.255.255.
std::string BroadcastAddress();

} // namespace pemberlux
