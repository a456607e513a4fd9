// A printer's host name to the numeric addresses the network open connects to,
// as one blocking step of a job. The system's resolver cannot be interrupted:
// it runs on a thread of its own, which the job waits for with its stop and
// deadline. A lookup the job gave up on finishes there and its answer is dropped.
#pragma once

#include "core/port/Job.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace pemberlux {

struct HostLookup {
    enum Status {
        Found,   // `addresses` holds at least one
        Unknown, // the name has no address; `reason` says why
        Stopped, // the job was stopped meanwhile
        Expired, // no answer within the bound or the job's deadline
    };
    Status status = Unknown;
    std::vector<std::string> addresses; // numeric IPv4 and IPv6 texts, in the resolver's order
    std::string reason;
};

// What runs on the lookup's own thread: the system's resolver by default.
using HostResolver = std::function<HostLookup(const std::string& host)>;
// getaddrinfo for stream sockets, each address once.
HostLookup SystemResolve(const std::string& host);

// A numeric IPv4 or IPv6 address is its own answer, and a name under the
// reserved top-level domain "invalid" has none, both at once without asking
// anyone. Any other name goes to `resolver` on a thread of its own, waited for
// until the job's stop, its deadline or `bound`, whichever comes first.
HostLookup LookUpHost(const std::string& host, const JobLimits& job, std::chrono::milliseconds bound,
                      const HostResolver& resolver = SystemResolve);

} // namespace pemberlux
