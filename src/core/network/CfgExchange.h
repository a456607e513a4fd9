// The process-wide receive path and exchange state of the key-value protocol: a
// sending socket (broadcast), a receiving socket bound to the protocol port, the
// receive ring the owner fills from the receiving socket, and the receiver thread
// that reads replies out of the ring into the tables of CfgProtocol.h.
//
// One owner uses this at a time (see CfgSession.h, which wraps it for the search
// dialog): it opens the sockets, calls OnSocketNotify whenever the receiving
// socket is readable, starts exchanges and consumes their results.
#pragma once

#include "core/network/CfgProtocol.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace pemberlux {

enum CfgStatus : int {
    EXCH_NONE = 0,
    EXCH_LIST_CHANGED = 1,   // FoundPrinters has a new or rewritten row
    EXCH_QUERY_ANSWERED = 2, // ReceivedFields and QueriedPrinter hold the selected printer's answer
    EXCH_TIMED_OUT = 3,
};

// A timed mutex (lock, try_lock_for, unlock) built on a plain mutex and a
// condition variable, so that thread checkers follow it.
class CfgGuardMutex {
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

struct CfgExchangeState {
    // Set when an exchange starts; cleared by the owner once the receiver has ended.
    std::atomic<int> busy{0};
    std::atomic<int> status{EXCH_NONE};
    // Nonzero while the receiver is to go on (1 search, 2 query).
    std::atomic<int> keepReceiving{0};
    std::atomic<std::uint32_t> expectedCommand{0};
    // CfgClockMs() at the start of the exchange.
    std::atomic<std::int64_t> startTime{0};
    std::atomic<int> timeoutSeconds{CFG_REPLY_TIMEOUT_SECONDS};
    std::atomic<int> receiverRunning{0};
    std::atomic<int> receiverFinished{0};
    // Serialises the starting of exchanges; a starter waits for it at most 100 ms.
    CfgGuardMutex guard;
};

extern CfgExchangeState CfgExchange;

// The printer a query or a set addresses: MAC (12 characters) and serial number (20).
void SetCfgSelection(std::string_view mac, std::string_view serial);
std::string CfgSelectedMac();
std::string CfgSelectedSerial();

// Milliseconds of a monotonic clock.
std::int64_t CfgClockMs();
// Whether the elapsed whole seconds since the exchange's start exceed its time-out.
bool CfgExchangeTimedOut();

// Empties the ring, creates the sending socket (broadcast to BroadcastAddress():port)
// and the receiving socket (non-blocking, SO_REUSEADDR, bound to all local addresses
// on `port`). False, with both closed, when the receiving socket cannot be set up.
bool OpenCfgSockets(std::uint16_t port = CFG_UDP_PORT);
// Stops a running receiver (and waits for it), closes both sockets and clears busy.
void CloseCfgSockets();
// The receiving socket, for the owner's read notifier; -1 while closed.
int CfgReceiveSocket();
std::uint16_t CfgPort();

// For the owner when the receiving socket is readable: takes one datagram (at most
// CFG_MAX_DATAGRAM bytes) and appends it to the ring; what does not fit is dropped.
// Returns the datagram's size, or -1 when nothing was read.
int OnSocketNotify();
CfgRing& CfgReceiveRing();

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
