// The receive path and exchange state of the key-value protocol: a sending socket
// (broadcast), a receiving socket bound to the protocol port, the receive ring the
// owner fills from the receiving socket, and the receiver thread that reads
// replies out of the ring into the exchange's tables.
//
// Its owner (see KvSession.h, which wraps it for the search dialog) opens the
// sockets, calls OnSocketNotify whenever the receiving socket is readable, starts
// exchanges and consumes their results.
#pragma once

#include "core/network/KvProtocol.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace pemberlux {

enum KvStatus : int {
    EXCH_NONE = 0,
    EXCH_LIST_CHANGED = 1,   // tables.foundPrinters has a new or rewritten row
    EXCH_QUERY_ANSWERED = 2, // the received fields and the queried printer hold the selected printer's answer
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

// The exchange state of one owner (KvSession holds one): the sockets, the receive
// ring, the selected printer, the receiver thread and the tables it fills.
class KvExchange {
public:
    KvExchange();
    // Stops the receiver and closes the sockets.
    ~KvExchange();
    KvExchange(const KvExchange&) = delete;
    KvExchange& operator=(const KvExchange&) = delete;

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
    // What the receiver parsed, and the fields of the next set.
    KvTables tables;

    // The printer a query or a set addresses: MAC (12 characters) and serial number (20).
    void SetSelection(std::string_view mac, std::string_view serial);
    std::string SelectedMac() const;
    std::string SelectedSerial() const;

    // Whether the elapsed whole seconds since the exchange's start exceed its time-out.
    bool TimedOut() const;

    // Empties the ring, creates the sending socket (broadcast to BroadcastAddress():port)
    // and the receiving socket (non-blocking, SO_REUSEADDR, bound to all local addresses
    // on `port`). False, with both closed, when the receiving socket cannot be set up.
    bool OpenSockets(std::uint16_t port = KV_UDP_PORT);
    // Stops a running receiver (and waits for it), closes both sockets and clears busy.
    void CloseSockets();
    // The receiving socket, for the owner's read notifier; -1 while closed.
    int ReceiveSocket() const { return receive_.load(); }
    std::uint16_t Port() const;

    // For the owner when the receiving socket is readable: takes one datagram (at most
    // KV_MAX_DATAGRAM bytes) and appends it to the ring; what does not fit is dropped.
    // Returns the datagram's size, or -1 when nothing was read.
    int OnSocketNotify();
    KvRing& ReceiveRing() { return *ring_; }

    // Starts the receiver thread for `command` (after any earlier one has ended),
    // resets status and the receiver flags, and waits until it runs (at most 3 s).
    void StartReceiver(std::uint32_t command);
    // Waits for the receiver thread to end; the owner calls it once receiverFinished is set.
    void JoinReceiver();
    // Asks the receiver to stop and waits for it.
    void StopReceiver();

    // Build and broadcast one request; false when it could not be sent.
    bool SendSearch();
    bool SendQuery(); // the selected MAC and serial number
    bool SendSet();   // tables.outgoingFields

private:
    void ReceiverMain(std::uint64_t generation, std::uint32_t expected, std::string mac);
    void SetReceiverFlag(std::atomic<int>& flag, int value);
    bool Broadcast(const Bytes& datagram);

    // Open, close, send and receive never overlap.
    mutable std::mutex socketMutex_;
    int send_ = -1;
    std::atomic<int> receive_{-1};
    std::uint32_t destination_ = 0; // IPv4 address in network order
    bool destinationValid_ = false;
    std::uint16_t port_ = KV_UDP_PORT;

    std::unique_ptr<KvRing> ring_;

    mutable std::mutex selectionMutex_;
    std::string selectedMac_;
    std::string selectedSerial_;

    // The receiver thread and its generation: a receiver whose generation is no longer
    // the current one stops at its next check, so two never read the ring together.
    std::mutex threadMutex_;
    std::thread receiverThread_;
    std::atomic<std::uint64_t> receiverGeneration_{0};

    // Signals receiver-running and receiver-finished to a starter waiting for them.
    std::mutex receiverStateMutex_;
    std::condition_variable receiverStateChanged_;
};

// Milliseconds of a monotonic clock.
std::int64_t KvClockMs();

} // namespace pemberlux
