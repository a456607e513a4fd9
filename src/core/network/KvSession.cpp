#include "core/network/KvSession.h"

#include "core/network/NetConfig.h"

#include <algorithm>
#include <thread>

namespace pemberlux {

namespace {

// Every socket bound to the protocol's port shares it, and a reply addressed to
// this host reaches only one of them: one session of the process listens at a time.
std::atomic<bool>& PortClaimed() {
    static std::atomic<bool> claimed{false};
    return claimed;
}

constexpr std::chrono::milliseconds kGuardWait{100};

std::vector<FoundPrinter> ListedRows(const KvTables& tables) {
    std::lock_guard lock(tables.mutex);
    std::vector<FoundPrinter> rows;
    const FoundPrinterTable& found = tables.foundPrinters;
    const std::size_t count = std::min(found.count, MAX_FOUND_PRINTERS);
    for (std::size_t i = 0; i < count && !found.entries[i].mac.empty(); ++i) {
        rows.push_back(found.entries[i]);
    }
    return rows;
}

void BeginExchange(KvExchange& ex) {
    ex.timeoutSeconds = KV_REPLY_TIMEOUT_SECONDS;
    ex.startTime = KvClockMs();
}

} // namespace

KvSession::KvSession(KvTiming timing) : timing_(timing) {}

KvSession::~KvSession() {
    Close();
}

bool KvSession::Open(std::uint16_t port) {
    if (open_) Close();
    bool expected = false;
    if (!PortClaimed().compare_exchange_strong(expected, true)) return false;

    KvExchange& ex = exchange_;
    exchange_.StopReceiver();
    ex.busy = 0;
    ex.status = EXCH_NONE;
    ex.keepReceiving = 0;
    ex.receiverFinished = 0;
    ex.timeoutSeconds = KV_REPLY_TIMEOUT_SECONDS;
    {
        std::lock_guard lock(exchange_.tables.mutex);
        ClearFields(exchange_.tables.receivedFields);
        ClearFields(exchange_.tables.outgoingFields);
        exchange_.tables.foundPrinters.Clear();
        exchange_.tables.queriedPrinter = FoundPrinter{};
    }
    exchange_.SetSelection({}, {});
    pendingOpen_ = 0;
    confirmed_ = 0;
    confirming_ = false;
    closing_ = false;
    {
        std::lock_guard lock(roundMutex_);
        roundsDone_ = 0;
    }
    const bool sockets = exchange_.OpenSockets(port);
    open_ = true;
    return sockets;
}

void KvSession::Close() {
    if (!open_) return;
    {
        std::lock_guard lock(roundMutex_);
        closing_ = true;
    }
    roundCv_.notify_all();
    {
        // Waits for a starter in progress, so no receiver starts after this.
        std::lock_guard guard(exchange_.guard);
        open_ = false;
        exchange_.CloseSockets();
    }
    pendingOpen_ = 0;
    confirmed_ = 0;
    PortClaimed() = false;
}

KvStart KvSession::Admit(std::unique_lock<KvGuardMutex>& guard) const {
    if (!guard.try_lock_for(kGuardWait)) return KvStart::Locked;
    if (!open_) return KvStart::Closed;
    if (exchange_.busy) return KvStart::Busy;
    return KvStart::Started;
}

KvStart KvSession::StartSearch() {
    std::unique_lock guard(exchange_.guard, std::defer_lock);
    if (const KvStart admitted = Admit(guard); admitted != KvStart::Started) return admitted;
    KvExchange& ex = exchange_;

    ex.busy = 1;
    BeginExchange(exchange_);
    {
        std::lock_guard lock(exchange_.tables.mutex);
        exchange_.tables.foundPrinters.Clear();
    }
    exchange_.StartReceiver(KV_CMD_SEARCH);
    if (!exchange_.SendSearch()) {
        ex.keepReceiving = 0; // the receiver ends; Poll() clears busy
        exchange_.ReceiveRing().Wake();
        return KvStart::SendFailed;
    }
    return KvStart::Started;
}

KvStart KvSession::BeginQuery(std::string_view mac, std::string_view serial) {
    exchange_.SetSelection(mac, serial);
    exchange_.busy = 1;
    BeginExchange(exchange_);
    {
        // A query that times out must not leave an earlier reply (possibly another
        // printer's) for the configuration dialog to show and send back.
        std::lock_guard lock(exchange_.tables.mutex);
        ClearFields(exchange_.tables.receivedFields);
        exchange_.tables.queriedPrinter = FoundPrinter{};
    }
    exchange_.StartReceiver(KV_CMD_QUERY);
    if (!exchange_.SendQuery()) {
        exchange_.keepReceiving = 0;
        exchange_.ReceiveRing().Wake();
        return KvStart::SendFailed;
    }
    return KvStart::Started;
}

KvStart KvSession::StartQuery(std::string_view mac, std::string_view serial) {
    std::unique_lock guard(exchange_.guard, std::defer_lock);
    if (const KvStart admitted = Admit(guard); admitted != KvStart::Started) return admitted;
    return BeginQuery(mac, serial);
}

KvStart KvSession::StartSet(std::string_view mac, std::string_view serial) {
    std::unique_lock guard(exchange_.guard, std::defer_lock);
    if (const KvStart admitted = Admit(guard); admitted != KvStart::Started) return admitted;
    KvExchange& ex = exchange_;

    ex.busy = 1;
    exchange_.SetSelection(mac, serial);
    ex.startTime = KvClockMs();
    const bool sent = exchange_.SendSet();
    // No receiver runs for a set: its answer is not awaited.
    ex.keepReceiving = 0;
    ex.timeoutSeconds = KV_REPLY_TIMEOUT_SECONDS;
    if (!sent) {
        ex.busy = 0;
        return KvStart::SendFailed;
    }
    confirmed_ = 0;
    confirming_ = true;
    return KvStart::Started;
}

bool KvSession::Pause(std::chrono::milliseconds duration, std::stop_token stop) {
    std::unique_lock lock(roundMutex_);
    return !roundCv_.wait_for(lock, stop, duration, [&] { return closing_.load(); }) && !stop.stop_requested();
}

KvSetOutcome KvSession::RunSetConfirmation(std::stop_token stop) {
    KvSetOutcome outcome;
    if (!confirming_) return outcome;

    const auto deadline = std::chrono::steady_clock::now() + timing_.confirmFirstWait + timing_.confirmLimit;
    bool running = Pause(timing_.confirmFirstWait, stop);
    while (running) {
        std::uint64_t before = 0;
        {
            std::lock_guard lock(roundMutex_);
            before = roundsDone_;
        }
        // The set keeps busy set; each round is a query of the same printer.
        bool started = false;
        while (!started && !closing_ && !stop.stop_requested()) {
            std::unique_lock guard(exchange_.guard, std::defer_lock);
            if (!guard.try_lock_for(kGuardWait)) continue;
            if (!open_) break;
            BeginQuery(exchange_.SelectedMac(), exchange_.SelectedSerial());
            started = true;
        }
        if (!started) break;
        {
            // Poll() counts the round once it has taken the answer and the receiver has ended.
            std::unique_lock lock(roundMutex_);
            roundCv_.wait(lock, stop, [&] { return closing_.load() || roundsDone_ != before; });
            if (closing_ || stop.stop_requested()) break;
        }
        if (!Pause(timing_.confirmSettle, stop)) break;
        if (confirmed_) {
            outcome.confirmed = true;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        running = Pause(timing_.confirmRetry, stop);
    }

    if (outcome.confirmed) {
        std::lock_guard lock(exchange_.tables.mutex);
        if (const ConfigField* ip = FindField(exchange_.tables.receivedFields, KV_KEY_IP_CUR.name))
            outcome.ipInUse = ip->Value();
        if (const ConfigField* port = FindField(exchange_.tables.receivedFields, KV_KEY_PRNT_PORT.name)) {
            outcome.monitorPort = KvFieldInt(port->Value());
        }
    }
    confirmed_ = 0;
    confirming_ = false;
    exchange_.busy = 0;
    return outcome;
}

void KvSession::ClearSelection() {
    pendingOpen_ = 0;
    // A set's confirmation goes on asking its printer until it has an answer.
    if (confirming_) return;
    exchange_.SetSelection({}, {});
    confirmed_ = 0;
}

void KvSession::MarkPendingOpen() {
    confirmed_ = 0;
    pendingOpen_ = 1;
}

bool KvSession::HasAnswerOf(std::string_view mac) const {
    std::lock_guard lock(exchange_.tables.mutex);
    return !mac.empty() && IsReplyOf(exchange_.tables.receivedFields, mac);
}

ConfigFieldTable KvSession::ReceivedFields() const {
    std::lock_guard lock(exchange_.tables.mutex);
    return exchange_.tables.receivedFields;
}

void KvSession::SetOutgoingFields(const ConfigFieldTable& fields) {
    std::lock_guard lock(exchange_.tables.mutex);
    exchange_.tables.outgoingFields = fields;
}

KvPollResult KvSession::Poll() {
    KvPollResult result;
    KvExchange& ex = exchange_;
    if (ex.busy) {
        // Read before the status: everything the receiver wrote before it ended is seen.
        const bool finished = ex.receiverFinished.load() != 0;
        switch (ex.status.exchange(EXCH_NONE)) {
        case EXCH_LIST_CHANGED:
            result.listChanged = true;
            result.rows = ListedRows(exchange_.tables);
            break;
        case EXCH_QUERY_ANSWERED: {
            ConfigFieldTable fields;
            {
                std::lock_guard lock(exchange_.tables.mutex);
                fields = exchange_.tables.receivedFields;
                result.queried = exchange_.tables.queriedPrinter;
            }
            result.queryAnswered = true;
            result.queryComplete = IsQueryReplyComplete(fields, exchange_.SelectedMac());
            if (result.queryComplete) {
                if (!pendingOpen_) confirmed_ = 1;
                if (const ConfigField* port = FindField(fields, KV_KEY_PRNT_PORT.name)) {
                    result.monitorPort = KvFieldInt(port->Value());
                }
            }
            break;
        }
        case EXCH_TIMED_OUT:
            result.timedOut = true;
            break;
        default:
            break;
        }
        if (finished) {
            ex.receiverFinished = 0;
            exchange_.JoinReceiver();
            if (confirming_) {
                {
                    std::lock_guard lock(roundMutex_);
                    ++roundsDone_;
                }
                roundCv_.notify_all();
            } else {
                ex.busy = 0;
                result.exchangeEnded = true;
            }
        }
    }
    if (!ex.busy && pendingOpen_ && !confirmed_) {
        pendingOpen_ = 0;
        result.openSetup = true;
    }
    return result;
}

} // namespace pemberlux
