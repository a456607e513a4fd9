#include "core/port/HostLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace pemberlux {

namespace {

bool IsNumeric(const std::string& host) {
    in6_addr v6{};
    in_addr v4{};
    return ::inet_pton(AF_INET, host.c_str(), &v4) == 1 || ::inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

// Names under "invalid" never resolve (RFC 6761): nothing is asked.
bool IsReservedInvalid(std::string host) {
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!host.empty() && host.back() == '.') host.pop_back();
    const std::string tld = "invalid";
    return host == tld || (host.size() > tld.size() && host.compare(host.size() - tld.size(), tld.size(), tld) == 0 &&
                           host[host.size() - tld.size() - 1] == '.');
}

// What the job and the lookup's thread share; the thread keeps it alive after
// the job has given up.
struct Pending {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    HostLookup answer;
};

} // namespace

HostLookup SystemResolve(const std::string& host) {
    HostLookup lookup;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (rc != 0) {
        lookup.reason = ::gai_strerror(rc);
        return lookup;
    }
    for (const addrinfo* a = found; a; a = a->ai_next) {
        char text[NI_MAXHOST];
        if (::getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0) continue;
        if (std::find(lookup.addresses.begin(), lookup.addresses.end(), text) == lookup.addresses.end())
            lookup.addresses.push_back(text);
    }
    ::freeaddrinfo(found);
    if (lookup.addresses.empty()) {
        lookup.reason = ::gai_strerror(EAI_NONAME);
    } else {
        lookup.status = HostLookup::Found;
    }
    return lookup;
}

HostLookup LookUpHost(const std::string& host, const JobLimits& job, std::chrono::milliseconds bound,
                      const HostResolver& resolver) {
    if (IsNumeric(host)) return {HostLookup::Found, {host}, {}};
    if (IsReservedInvalid(host)) return {HostLookup::Unknown, {}, ::gai_strerror(EAI_NONAME)};
    if (job.Stopped()) return {HostLookup::Stopped, {}, {}};

    auto pending = std::make_shared<Pending>();
    std::thread([pending, resolver, host] {
        HostLookup answer = resolver(host);
        const std::lock_guard<std::mutex> lock(pending->mutex);
        pending->answer = std::move(answer);
        pending->done = true;
        pending->changed.notify_all();
    }).detach();

    const auto wake = [pending] {
        const std::lock_guard<std::mutex> lock(pending->mutex);
        pending->changed.notify_all();
    };
    const std::stop_callback onStop(job.stop, wake);
    const auto until = std::min(job.deadline, JobClock::now() + bound);
    std::unique_lock<std::mutex> lock(pending->mutex);
    pending->changed.wait_until(lock, until, [&] { return pending->done || job.Stopped(); });
    if (pending->done) return pending->answer;
    return {job.Stopped() ? HostLookup::Stopped : HostLookup::Expired, {}, {}};
}

} // namespace pemberlux
