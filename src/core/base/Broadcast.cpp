#include "core/base/Broadcast.h"

#include <cstdlib>

namespace pemberlux {

std::string BroadcastAddress() {
    const char* configured = std::getenv("PEMBERLUX_BROADCAST_ADDR");
    if (configured && *configured) return configured;
    return "255.255.255.255";
}

} // namespace pemberlux
