// Compiled with the simulator's include paths: the program's protocol code must
// not be reachable from there, so this file must not build.
#include "core/network/KvProtocol.h"

int SimProtocolProbe() {
    return static_cast<int>(pemberlux::KV_HEADER_SIZE);
}
