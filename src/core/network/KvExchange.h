// The process-wide receive path and exchange state of the key-value protocol: a
// sending socket (broadcast), a receiving socket bound to the protocol port, the
// receive ring the owner fills from the receiving socket, and the receiver thread
// that reads replies out of the ring into the tables of KvProtocol.h.
//
// One owner uses this at a time (see KvSession.h, which wraps it for the search
// dialog): it opens the sockets, calls OnSocketNotify whenever the receiving
// socket is readable, starts exchanges and consumes their results.
#pragma once

#include "core/network/KvProtocol.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace pemberlux {

enum KvStatus : int {
    EXCH_NONE = 0,
    EXCH_LIST_CHANGED = 1,   // FoundPrinters has a new or rewritten row
    EXCH_QUERY_ANSWERED = 2, // ReceivedFields and QueriedPrinter hold the selected printer's answer
    EXCH_TIMED_OUT = 3,
};

// A timed mutex (lock, try_lock_for, unlock) built on a plain mutex and a
// condition variable, so that thread checkers follow it.
class KvGuardMutex {
public:
    void lock() {
        std::unique_lock lock(mutex_);
        released_.wait(lock, [&] { return !held_; });
        held_ = true;
    }
    bool try_lock() {
        std::lock_guard lock(mutex_);
        if (held_) return false;
        held_ = true;
        return true;
    }
    template <class Rep, class Period> bool try_lock_for(const std::chrono::duration<Rep, Period>& wait) {
        std::unique_lock lock(mutex_);
        if (!released_.wait_for(lock, wait, [&] { return !held_; })) return false;
        held_ = true;
        return true;
    }
    void unlock() {
        {
            std::lock_guard lock(mutex_);
            held_ = false;
        }
        released_.notify_one();
    }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
};

struct KvExchangeState {
    // Set when an exchange starts; cleared by the owner once the receiver has ended.
    std::atomic<int> busy{0};
    std::atomic<int> status{EXCH_NONE};
    // Nonzero while the receiver is to go on (1 search, 2 query).
    std::atomic<int> keepReceiving{0};
    std::atomic<std::uint32_t> expectedCommand{0};
    // KvClockMs() at the start of the exchange.
    std::atomic<std::int64_t> startTime{0};
    std::atomic<int> timeoutSeconds{KV_REPLY_TIMEOUT_SECONDS};
    std::atomic<int> receiverRunning{0};
    std::atomic<int> receiverFinished{0};
    // Serialises the starting of exchanges; a starter waits for it at most 100 ms.
    KvGuardMutex guard;
};

extern KvExchangeState KvExchange;

// The printer a query or a set addresses: MAC (12 characters) and serial number (20).
void SetKvSelection(std::string_view mac, std::string_view serial);
std::string KvSelectedMac();
std::string KvSelectedSerial();

// Milliseconds of a monotonic clock.
std::int64_t KvClockMs();
// Whether the elapsed whole seconds since the exchange's start exceed its time-out.
bool KvExchangeTimedOut();

// Empties the ring, creates the sending socket (broadcast to BroadcastAddress():port)
// and the receiving socket (non-blocking, SO_REUSEADDR, bound to all local addresses
// on `port`). False, with both closed, when the receiving socket cannot be set up.
bool OpenKvSockets(std::uint16_t port = KV_UDP_PORT);
// Stops a running receiver (and waits for it), closes both sockets and clears busy.
void CloseKvSockets();
// The receiving socket, for the owner's read notifier; -1 while closed.
int KvReceiveSocket();
std::uint16_t KvPort();

// For the owner when the receiving socket is readable: takes one datagram (at most
// KV_MAX_DATAGRAM bytes) and appends it to the ring; what does not fit is dropped.
// Returns the datagram's size, or -1 when nothing was read.
int OnSocketNotify();
KvRing& KvReceiveRing();

// Starts the receiver thread for `expectedCommand` (after any earlier one has ended),
// resets status and the receiver flags, and waits until it runs (at most 3 s).
void StartReceiver(std::uint32_t expectedCommand);
// Waits for the receiver thread to end; the owner calls it once receiverFinished is set.
void JoinReceiver();
// Asks the receiver to stop and waits for it.
void StopReceiver();

// Build and broadcast one request; false when it could not be sent.
bool SendSearch();
bool SendQuery(); // the selected MAC and serial number
bool SendSet();   // OutgoingFields

} // namespace pemberlux
