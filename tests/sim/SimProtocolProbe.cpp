// Compiled with the simulator's include paths: the program's protocol code must
// not be reachable from there, so this file must not build.
#include "core/network/CfgProtocol.h"

int SimProtocolProbe() {
    return static_cast<int>(pemberlux::CFG_HEADER_SIZE);
}
