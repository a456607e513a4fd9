// The owner's side of the key-value protocol, as the search dialog drives it: open
// and close the sockets, hand over read notifications, start searches, queries and
// sets, and a Poll() for the dialog's 100 ms timer that consumes what the receiver
// found. The set's confirmation loop runs on a worker of the owner.
//
// The session owns the protocol's exchange state (sockets, receiver, tables). The
// protocol's port is claimed by one open session at a time.
//
// Threads: Open, Close, OnReadable and Poll belong to the owner's thread (the GUI
// thread; in tests the test thread). Start* may be called from any thread;
// RunSetConfirmation blocks and belongs on a worker.
#pragma once

#include "core/network/KvExchange.h"
#include "core/network/KvProtocol.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace pemberlux {

enum class KvStart {
    Started,
    Busy,       // an exchange runs: nothing was changed
    Locked,     // the guard was not obtained within 100 ms: nothing happened
    Closed,     // the session is not open
    SendFailed, // the request could not be sent; the exchange ends at once
};

// Pauses of the set's confirmation loop.
struct KvTiming {
    std::chrono::milliseconds confirmFirstWait{5000}; // after the set, before the first query
    std::chrono::milliseconds confirmSettle{500};     // after a query round was processed
    std::chrono::milliseconds confirmRetry{2000};     // between rounds
    std::chrono::milliseconds confirmLimit{60000};    // no new round after this much time
};

// What one Poll() found.
struct KvPollResult {
    bool listChanged = false;
    std::vector<FoundPrinter> rows; // when listChanged: rows in table order, up to the first without a MAC
    bool queryAnswered = false;     // the selected printer answered
    bool queryComplete = false;     // ... with an address in use, or DHCP off
    FoundPrinter queried;           // when queryAnswered
    int monitorPort = 0;            // "PRNT_PORT" when queryComplete
    bool timedOut = false;
    bool exchangeEnded = false; // busy is clear again
    bool openSetup = false;     // a double-clicked row's query has ended: open the configuration now
};

struct KvSetOutcome {
    bool confirmed = false; // a complete answer arrived after the set
    std::string ipInUse;    // "IP_CUR" of that answer
    int monitorPort = 0;    // "PRNT_PORT" of that answer
};

class KvSession {
public:
    explicit KvSession(KvTiming timing = {});
    ~KvSession();
    KvSession(const KvSession&) = delete;
    KvSession& operator=(const KvSession&) = delete;

    // Resets the exchange state and the tables and opens the sockets on `port`. False
    // when another session of the process is open (nothing done) or the sockets could not be opened
    // (the session is open all the same; its exchanges then find nothing).
    bool Open(std::uint16_t port = KV_UDP_PORT);
    // Ends a running receiver and a confirmation loop, closes the sockets. The owner
    // stops calling OnReadable before, and joins its confirmation worker after.
    void Close();
    bool IsOpen() const { return open_.load(); }
    // The socket to watch for readability (-1 while closed).
    int ReceiveSocket() const { return exchange_.ReceiveSocket(); }
    std::uint16_t Port() const { return exchange_.Port(); }
    // The receiving socket is readable: take one datagram into the ring.
    int OnReadable() { return exchange_.OnSocketNotify(); }

    // "Search": empties the found-printer table and broadcasts a search; rows arrive through Poll.
    KvStart StartSearch();
    // A row was clicked: query the printer with this MAC and serial number.
    KvStart StartQuery(std::string_view mac, std::string_view serial);
    // The configuration dialog was accepted and its fields were handed to
    // SetOutgoingFields: send the set to that printer. Started must be followed by RunSetConfirmation().
    KvStart StartSet(std::string_view mac, std::string_view serial);
    // On a worker after a started set: queries the printer until an answer is
    // complete (DHCP off or an address in use), with the pauses of KvTiming, and
    // keeps the session busy meanwhile. Ends early when the session closes or
    // `stop` is requested (then not confirmed).
    KvSetOutcome RunSetConfirmation(std::stop_token stop = {});

    // A row was double-clicked: once its query has ended, Poll() says openSetup.
    void MarkPendingOpen();
    // "Search" was clicked: forget the selected printer, a pending open and a
    // confirmation, also while a query runs (its answer then completes nothing).
    // Only a set's confirmation keeps its printer.
    void ClearSelection();
    // The owner's timer tick.
    KvPollResult Poll();

    // Whether the fields last received are the answer of the printer with this
    // MAC: a printer's configuration is shown and sent back only from its own
    // answer, never after a query that went unanswered.
    bool HasAnswerOf(std::string_view mac) const;

    // The fields the printer answered last (empty after a query that went unanswered).
    ConfigFieldTable ReceivedFields() const;
    // The fields the next set sends.
    void SetOutgoingFields(const ConfigFieldTable& fields);
    // The printer the last query or set addressed, or "" after ClearSelection.
    std::string SelectedMac() const { return exchange_.SelectedMac(); }
    std::string SelectedSerial() const { return exchange_.SelectedSerial(); }

    // The exchange state underneath, for diagnostics and tests.
    KvExchange& Exchange() { return exchange_; }
    const KvExchange& Exchange() const { return exchange_; }

    bool Busy() const { return exchange_.busy.load() != 0; }
    bool Confirmed() const { return confirmed_.load() != 0; }
    const KvTiming& Timing() const { return timing_; }

private:
    // Takes the exchange guard for a new request: Started when the session is
    // open and no request runs; the guard stays held for the caller.
    KvStart Admit(std::unique_lock<KvGuardMutex>& guard) const;
    KvStart BeginQuery(std::string_view mac, std::string_view serial);
    // Waits `duration` unless the session closes or `stop` is requested; false then.
    bool Pause(std::chrono::milliseconds duration, std::stop_token stop);

    KvTiming timing_;
    KvExchange exchange_;
    std::atomic<bool> open_{false};
    std::atomic<bool> closing_{false};
    std::atomic<int> pendingOpen_{0};
    std::atomic<int> confirmed_{0};
    std::atomic<bool> confirming_{false};

    std::mutex roundMutex_;
    std::condition_variable_any roundCv_;
    std::uint64_t roundsDone_ = 0;
};

} // namespace pemberlux
