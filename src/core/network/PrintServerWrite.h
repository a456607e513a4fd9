// The steps that change a print server's configuration once its image has been
// read and edited: write block A and apply, write block B and apply, and, when
// DHCP was switched on, find the print server again under its new address and
// put its old block A back when it got none. Each runs on a job of the search
// dialog and waits the fixed times the print server needs after an apply.
#pragma once

#include "core/network/PrintServerChannel.h"

#include <chrono>
#include <stop_token>

namespace pemberlux {

struct PsWriteTiming {
    std::chrono::milliseconds afterFirstApply{5000};  // block A applied, before block B
    std::chrono::milliseconds afterSecondApply{3000}; // block B applied
    std::chrono::milliseconds afterDhcpSearch{5000};  // the search for the new address
    std::chrono::milliseconds afterDhcpRead{3000};    // the read under the new address
    std::chrono::milliseconds afterRestore{1000};     // the old block A applied again
};

enum class PsWriteStatus {
    Done,
    NotRead, // the channel had no configuration read: nothing was sent
    Failed,  // a write or apply was not acknowledged (the print server may have part of it)
    Stopped, // the job was stopped
};

struct PsWriteOutcome {
    // Done when every step was acknowledged, Failed when one or more were not.
    PsWriteStatus status = PsWriteStatus::Done;
    // Block A (the address) was acknowledged, and so was an apply after it:
    // the print server now uses the new address.
    bool addressTaken = false;
    // Block B (the monitor port) and the apply after it were acknowledged.
    bool portTaken = false;
};

// Block A, apply, wait, block B, apply, wait. A step that is not acknowledged
// does not stop the later ones: a print server that acknowledges in another
// form still gets the rest. Ends early only when stopped, or when nothing can
// be sent because the configuration was never read.
PsWriteOutcome WriteConfiguration(PrintServerChannel& channel, const DiscoveryRecord& target,
                                  const PsWriteTiming& timing, std::stop_token stop);

struct PsDhcpOutcome {
    // An answer to the new search carried the target's MAC; `record` is that answer.
    bool found = false;
    DiscoveryRecord record;
    // The print server had no address (0.0.0.0) and `saved` block A was written back.
    bool restoreNeeded = false;
    PsWriteStatus restore = PsWriteStatus::Done;
    bool stopped = false;
};

// After a write that switched DHCP on: waits until the channel is idle, searches,
// waits, collects the answers, and reads the configuration of the first answer
// with the target's MAC. When that answer has no address, block A of `saved`
// (the configuration as it was before the change) is written and applied again.
// Without such an answer nothing is read or written.
PsDhcpOutcome FollowDhcp(PrintServerChannel& channel, const DiscoveryRecord& target, const ConfigImage& saved,
                         const PsWriteTiming& timing, std::stop_token stop);

} // namespace pemberlux
