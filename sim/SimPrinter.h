// A virtual Tavrel printer as the transports see it: it records every byte it
// receives and decides what to answer. The scripted base answers whatever it was
// told to; printer models (label, receipt, ...) derive from it and decode frames.
#pragma once

#include "PaperLog.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace pemberlux::sim {

using Bytes = std::vector<std::uint8_t>;

// `s` as a JSON string literal (quotes, backslashes and control characters escaped).
std::string JsonString(const std::string& s);

// One step of an answer: wait `delay`, then send `bytes`; with `drop` set, the
// transport then closes the connection (TCP) or hangs up the line (pty) and
// carries out nothing more of this answer. With `reset` it aborts the
// connection instead: TCP sends a reset (RST), a pty is hung up at once,
// without waiting for the client to read what was sent before.
struct Answer {
    Bytes bytes;
    std::chrono::milliseconds delay{0};
    bool drop = false;
    bool reset = false;
};

// Misbehaviours that apply on top of whatever the printer would answer, for
// the scripted printer and every model alike.
struct Faults {
    bool silent = false;                      // record everything, answer nothing
    std::chrono::milliseconds answerDelay{0}; // added before the first step of every answer
    std::optional<std::size_t> shortAnswer;   // cut every answer to at most this many bytes
    std::size_t dropAfter = 0;                // >0: drop once a connection has brought this many bytes
    bool garbage = false;                     // every answer byte replaced by a different one
    // >0: once a connection has brought this many bytes, the printer reads
    // nothing more for `busyFor` (once per connection), as one busy erasing
    // its flash; the client's writes then find the line full.
    std::size_t busyAfter = 0;
    std::chrono::milliseconds busyFor{0};
};

// The faults of the chaos mode (SimPrinter::SetChaos), one picked per exchange.
enum class ChaosFault {
    None,       // answered as the model answers
    Silent,     // the model acts on the bytes, the answer is left out
    Late,       // the answer comes 50 to 1500 ms late
    Short,      // the answer is cut, to fewer bytes than it has
    Garbage,    // every answer byte replaced by a different one
    Split,      // the answer in 2 to 4 pieces with gaps of 10 to 600 ms
    Dropped,    // no answer; the connection is closed (TCP) or the line hung up (pty)
    Reset,      // part of the answer, then the connection is reset (TCP RST; pty hung up at once)
    SlowReader, // the printer reads nothing for 50 to 1500 ms, then answers
    StatusBurst // 1 to 8 status bytes nobody asked for: on connect (TCP), or after the answer
};
inline constexpr std::size_t kChaosFaultCount = 10;
// "none", "silent", "late", "short", "garbage", "split", "dropped", "reset", "slow_reader", "status_burst".
const char* ChaosFaultName(ChaosFault fault);

// One exchange under the chaos mode as the printer saw it: a chunk received
// (or, with `chunkBytes` 0, a TCP connection greeted by a status burst), the
// fault it got, and what the printer handed to the transport for it.
struct ChaosExchange {
    ChaosFault fault = ChaosFault::None;
    std::size_t connection = 0; // the printer's connection count at the time
    std::size_t chunkBytes = 0;
    Bytes sent; // faults applied, in order; a reset or drop ends the connection after it
};

class SimPrinter {
public:
    SimPrinter() = default;
    virtual ~SimPrinter() = default;
    SimPrinter(const SimPrinter&) = delete;
    SimPrinter& operator=(const SimPrinter&) = delete;

    // Transports call this with every chunk read from the client, in order.
    // The answers returned are carried out by the transport, one after another.
    std::vector<Answer> Receive(const std::uint8_t* data, std::size_t size);

    // Bytes a transport took from the client as its line went down: recorded
    // and decoded like any others, but not answered, and no exchange of the
    // chaos mode.
    void ReceiveUnanswered(const std::uint8_t* data, std::size_t size);

    // Transports call this when a new client connection starts (TCP accept),
    // so that per-connection counts and model parsers start afresh; the
    // answers returned (a status burst of the chaos mode) go out before
    // anything is read.
    std::vector<Answer> Connected();

    // Everything received so far, across connections, and the chunk count.
    Bytes Received() const;
    std::size_t Chunks() const;
    void ClearReceived();
    // Blocks until at least `count` bytes have been received or `timeout` passes.
    bool WaitForBytes(std::size_t count, std::chrono::milliseconds timeout) const;
    // The last answer handed to the transport, faults applied (what the client
    // gets), its steps joined; empty before the first.
    Bytes LastAnswer() const;

    // What the printer "printed" so far: text lines and commands (see PaperLog.h),
    // the newest PaperLog::kKeptLines of them, and how often each command came.
    std::vector<std::string> Printed() const;
    std::map<std::string, std::size_t> PrintedCounts() const;
    // Called with every printed line as it is decoded, under the printer's
    // lock (a log file for the demo); an empty function turns it off.
    void SetPrintSink(std::function<void(const std::string&)> sink);

    // Scripted answers: each chunk received takes the next queued answer (if any);
    // with none queued, the default answer (none at all unless set) applies.
    void QueueAnswer(Answer answer);
    void SetDefaultAnswer(std::vector<Answer> answers);
    void ClearAnswers();

    void SetFaults(const Faults& faults);
    Faults GetFaults() const;

    // The chaos mode: every chunk received and every TCP connection is an
    // exchange, and a generator seeded with `seed` picks each one's fault
    // (ChaosFault); the same seed and the same exchanges in the same order
    // give the same faults. SetChaos starts the generator afresh and turns
    // the mode on; SetChaosActive pauses and resumes it without losing its
    // place. Chaos applies on top of the Faults.
    void SetChaos(std::uint64_t seed);
    void SetChaosActive(bool active);
    // Every exchange under the chaos mode so far, oldest first.
    std::vector<ChaosExchange> ChaosRecord() const;

    // Name shown in the state and by `pemberlux-sim`; models return theirs.
    // Called with mutex_ held: must not lock it.
    virtual std::string ModelName() const { return "scripted"; }

    // State as JSON for `pemberlux-sim --state-file` and the tests. Models that
    // add fields build on BaseStateFields().
    virtual std::string StateJson() const;

protected:
    // Printer models override this; the base implementation uses the script.
    // Called without mutex_ held; an override locks it for its own state.
    virtual std::vector<Answer> Respond(const std::uint8_t* data, std::size_t size);
    // A new connection started (after the counters were reset); models reset
    // their frame parsers here. Called without mutex_ held.
    virtual void OnConnected() {}

    // The next scripted answer, if any was queued or set as default; models
    // may call it to let a script take precedence. Locks mutex_.
    std::optional<std::vector<Answer>> ScriptedAnswer();
    // `"model":…,"received_bytes":…` without braces; needs mutex_ held.
    std::string BaseStateFields() const;

    mutable std::mutex mutex_;

private:
    void ApplyFaults(std::vector<Answer>& answers, const Faults& faults);
    // With mutex_ held.
    void Garble(Bytes& bytes);
    std::uint64_t Draw(std::uint64_t low, std::uint64_t high); // uniform in [low, high]
    void ApplyChaos(std::vector<Answer>& answers, std::size_t chunkBytes);
    Bytes StatusBurst();
    std::string ChaosStateFields() const;

    mutable std::condition_variable received_cv_;
    Bytes received_;
    std::size_t chunks_ = 0;
    std::deque<Answer> queued_;
    std::vector<Answer> default_;
    Faults faults_;
    std::size_t connectionBytes_ = 0;
    std::size_t connections_ = 0;
    std::size_t drops_ = 0;
    bool busyDone_ = false; // this connection's busy spell is over
    std::size_t answersSent_ = 0;
    std::size_t answeredBytes_ = 0;
    Bytes lastAnswer_;
    PaperLog paper_;
    std::function<void(const std::string&)> printSink_;
    std::uint32_t garbageState_ = 0x9e3779b9u;
    bool chaosOn_ = false;
    std::optional<std::uint64_t> chaosSeed_;
    std::mt19937_64 chaos_;
    std::vector<ChaosExchange> chaosRecord_;
};

} // namespace pemberlux::sim
