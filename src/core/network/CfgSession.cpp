#include "core/network/CfgSession.h"

#include "core/network/NetConfig.h"

#include <algorithm>
#include <thread>

namespace pemberlux {

namespace {

// The protocol state is process-wide: one session owns it at a time.
std::atomic<bool> sessionOpen{false};

constexpr std::chrono::milliseconds kGuardWait{100};

std::vector<FoundPrinter> ListedRows() {
    std::lock_guard lock(CfgTablesMutex());
    std::vector<FoundPrinter> rows;
    const std::size_t count = std::min(FoundPrinters.count, MAX_FOUND_PRINTERS);
    for (std::size_t i = 0; i < count && !FoundPrinters.entries[i].mac.empty(); ++i) {
        rows.push_back(FoundPrinters.entries[i]);
    }
    return rows;
}

void BeginExchange() {
    CfgExchange.timeoutSeconds = CFG_REPLY_TIMEOUT_SECONDS;
    CfgExchange.startTime = CfgClockMs();
}

} // namespace

CfgSession::CfgSession(CfgTiming timing) : timing_(timing) {}

CfgSession::~CfgSession() {
    Close();
}

bool CfgSession::Open(std::uint16_t port) {
    if (open_) Close();
    bool expected = false;
    if (!sessionOpen.compare_exchange_strong(expected, true)) return false;

    CfgExchangeState& ex = CfgExchange;
    StopReceiver();
    ex.busy = 0;
    ex.status = EXCH_NONE;
    ex.keepReceiving = 0;
    ex.receiverFinished = 0;
    ex.timeoutSeconds = CFG_REPLY_TIMEOUT_SECONDS;
    {
        std::lock_guard lock(CfgTablesMutex());
        ClearFields(ReceivedFields);
        ClearFields(OutgoingFields);
        FoundPrinters.Clear();
        QueriedPrinter = FoundPrinter{};
    }
    SetCfgSelection({}, {});
    pendingOpen_ = 0;
    confirmed_ = 0;
    confirming_ = false;
    closing_ = false;
    {
        std::lock_guard lock(roundMutex_);
        roundsDone_ = 0;
    }
    const bool sockets = OpenCfgSockets(port);
    open_ = true;
    return sockets;
}

void CfgSession::Close() {
    if (!open_) return;
    {
        std::lock_guard lock(roundMutex_);
        closing_ = true;
    }
    roundCv_.notify_all();
    {
        // Waits for a starter in progress, so no receiver starts after this.
        std::lock_guard guard(CfgExchange.guard);
        open_ = false;
        CloseCfgSockets();
    }
    pendingOpen_ = 0;
    confirmed_ = 0;
    sessionOpen = false;
}

CfgStart CfgSession::StartSearch() {
    std::unique_lock guard(CfgExchange.guard, std::defer_lock);
    if (!guard.try_lock_for(kGuardWait)) return CfgStart::Locked;
    if (!open_) return CfgStart::Closed;
    CfgExchangeState& ex = CfgExchange;
    if (ex.busy) return CfgStart::Busy;

    ex.busy = 1;
    BeginExchange();
    {
        std::lock_guard lock(CfgTablesMutex());
        FoundPrinters.Clear();
    }
    StartReceiver(CFG_CMD_SEARCH);
    if (!SendSearch()) {
        ex.keepReceiving = 0; // the receiver ends; Poll() clears busy
        CfgReceiveRing().Wake();
        return CfgStart::SendFailed;
    }
    return CfgStart::Started;
}

CfgStart CfgSession::BeginQuery(std::string_view mac, std::string_view serial) {
    SetCfgSelection(mac, serial);
    CfgExchange.busy = 1;
    BeginExchange();
    {
        // A query that times out must not leave an earlier reply (possibly another
        // printer's) for the configuration dialog to show and send back.
        std::lock_guard lock(CfgTablesMutex());
        ClearFields(ReceivedFields);
        QueriedPrinter = FoundPrinter{};
    }
    StartReceiver(CFG_CMD_QUERY);
    if (!SendQuery()) {
        CfgExchange.keepReceiving = 0;
        CfgReceiveRing().Wake();
        return CfgStart::SendFailed;
    }
    return CfgStart::Started;
}

CfgStart CfgSession::StartQuery(std::string_view mac, std::string_view serial) {
    std::unique_lock guard(CfgExchange.guard, std::defer_lock);
    if (!guard.try_lock_for(kGuardWait)) return CfgStart::Locked;
    if (!open_) return CfgStart::Closed;
    if (CfgExchange.busy) return CfgStart::Busy;
    return BeginQuery(mac, serial);
}

CfgStart CfgSession::StartSet(std::string_view mac, std::string_view serial) {
    std::unique_lock guard(CfgExchange.guard, std::defer_lock);
    if (!guard.try_lock_for(kGuardWait)) return CfgStart::Locked;
    if (!open_) return CfgStart::Closed;
    CfgExchangeState& ex = CfgExchange;
    if (ex.busy) return CfgStart::Busy;

    ex.busy = 1;
    SetCfgSelection(mac, serial);
    ex.startTime = CfgClockMs();
    const bool sent = SendSet();
    // No receiver runs for a set: its answer is not awaited.
    ex.keepReceiving = 0;
    ex.timeoutSeconds = CFG_REPLY_TIMEOUT_SECONDS;
    if (!sent) {
        ex.busy = 0;
        return CfgStart::SendFailed;
    }
    confirmed_ = 0;
    confirming_ = true;
    return CfgStart::Started;
}

bool CfgSession::Pause(std::chrono::milliseconds duration, std::stop_token stop) {
    std::unique_lock lock(roundMutex_);
    return !roundCv_.wait_for(lock, stop, duration, [&] { return closing_.load(); }) && !stop.stop_requested();
}

CfgSetOutcome CfgSession::RunSetConfirmation(std::stop_token stop) {
    CfgSetOutcome outcome;
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
            std::unique_lock guard(CfgExchange.guard, std::defer_lock);
            if (!guard.try_lock_for(kGuardWait)) continue;
            if (!open_) break;
            BeginQuery(CfgSelectedMac(), CfgSelectedSerial());
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
        std::lock_guard lock(CfgTablesMutex());
        if (const ConfigField* ip = FindField(ReceivedFields, CFG_KEY_IP_CUR.name)) outcome.ipInUse = ip->Value();
        if (const ConfigField* port = FindField(ReceivedFields, CFG_KEY_PRNT_PORT.name)) {
            outcome.monitorPort = CfgFieldInt(port->Value());
        }
    }
    confirmed_ = 0;
    confirming_ = false;
    CfgExchange.busy = 0;
    return outcome;
}

void CfgSession::ClearSelection() {
    pendingOpen_ = 0;
    // A set's confirmation goes on asking its printer until it has an answer.
    if (confirming_) return;
    SetCfgSelection({}, {});
    confirmed_ = 0;
}

void CfgSession::MarkPendingOpen() {
    confirmed_ = 0;
    pendingOpen_ = 1;
}

bool CfgSession::HasAnswerOf(std::string_view mac) const {
    std::lock_guard lock(CfgTablesMutex());
    return !mac.empty() && IsReplyOf(ReceivedFields, mac);
}

CfgPollResult CfgSession::Poll() {
    CfgPollResult result;
    CfgExchangeState& ex = CfgExchange;
    if (ex.busy) {
        // Read before the status: everything the receiver wrote before it ended is seen.
        const bool finished = ex.receiverFinished.load() != 0;
        switch (ex.status.exchange(EXCH_NONE)) {
        case EXCH_LIST_CHANGED:
            result.listChanged = true;
            result.rows = ListedRows();
            break;
        case EXCH_QUERY_ANSWERED: {
            ConfigFieldTable fields;
            {
                std::lock_guard lock(CfgTablesMutex());
                fields = ReceivedFields;
                result.queried = QueriedPrinter;
            }
            result.queryAnswered = true;
            result.queryComplete = IsQueryReplyComplete(fields, CfgSelectedMac());
            if (result.queryComplete) {
                if (!pendingOpen_) confirmed_ = 1;
                if (const ConfigField* port = FindField(fields, CFG_KEY_PRNT_PORT.name)) {
                    result.monitorPort = CfgFieldInt(port->Value());
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
            JoinReceiver();
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
