// The key-value client that the network search dialog and the command line both
// drive: the session (KvSession.h) plus the sequences run on it, once for both
// owners. A query's answer is read into KvConfigValues here, a set is built from
// that answer and the changes and started here, and its confirmation runs here.
//
// The dialog feeds the client from its socket notifier (OnReadable) and its timer
// (Poll), and runs RunSetConfirmation on a worker; an owner without an event
// loop (the command line) calls Serve, Query and ConfirmServing on its own
// thread, which feed the client the same way while they wait.
#pragma once

#include "core/base/StringId.h"
#include "core/network/KvSession.h"
#include "core/network/NetConfig.h"

#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>
#include <string_view>

namespace pemberlux {

// What a set changes; an empty value keeps what the printer answered.
struct KvChanges {
    std::optional<int> dhcp; // 1 on, 0 off; the dialog hands its list's index as it stands (-1: none chosen)
    std::optional<Ipv4Octets> ip, mask, gateway;
    std::optional<int> printPort, printTimeout;
};

// The values of a set: the identity and the address in use as `answer` gave them,
// each changed value, and the rest as answered (DHCP off when the answer had none).
KvSetValues KvSetValuesOf(const KvConfigValues& answer, const KvChanges& changes);

// The message a request that did not start is reported with: Busy (another
// exchange runs) and SendFailed have one; Locked and Closed none.
std::optional<StringId> KvStartMessage(KvStart start);

struct KvQueryOutcome {
    KvStart started = KvStart::Closed;
    bool complete = false; // the printer answered with an address in use, or DHCP off
    KvConfigValues values; // its answer, when complete
};

class KvClient : public KvSession {
public:
    using KvSession::KvSession;
    using KvSession::StartSet;

    // The answer of the printer with this MAC to the last query; none when the
    // fields last received are not its own.
    std::optional<KvConfigValues> AnswerOf(std::string_view mac) const;
    // Hands the fields of `values` to the next set and sends it to that printer.
    // Started must be followed by RunSetConfirmation() (or ConfirmServing()).
    KvStart StartSet(std::string_view mac, std::string_view serial, const KvSetValues& values);

    // For an owner without an event loop, on the owner's thread: waits up to
    // 20 ms at a time for the receiving socket, hands it a readable datagram and
    // polls, until `done` holds for a poll's result, `deadline` passes or `stop`
    // is requested. True when `done` held.
    bool Serve(const std::function<bool(const KvPollResult&)>& done, std::chrono::steady_clock::time_point deadline,
               const std::stop_token& stop);
    // Serving: waits (5 s at most) for a running exchange to end, queries the
    // printer and waits until its answer is complete, the query has ended, or
    // `deadline` or `stop` come.
    KvQueryOutcome Query(std::string_view mac, std::string_view serial, std::chrono::steady_clock::time_point deadline,
                         const std::stop_token& stop);
    // Serving: after a started set, RunSetConfirmation on a worker while this
    // thread serves the socket.
    KvSetOutcome ConfirmServing(const std::stop_token& stop);
};

} // namespace pemberlux
