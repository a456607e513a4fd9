// A virtual Tavrel printer as the transports see it: it records every byte it
// receives and decides what to answer. The scripted base answers whatever it was
// told to; printer models (label, receipt, ...) derive from it and decode frames.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace pemberlux::sim {

using Bytes = std::vector<std::uint8_t>;

// One step of an answer: wait `delay`, then send `bytes`; `drop` closes the
// connection (TCP) or hangs up the line (pty) instead of sending.
struct Answer {
    Bytes bytes;
    std::chrono::milliseconds delay{0};
    bool drop = false;
};

class SimPrinter {
public:
    virtual ~SimPrinter() = default;

    // Transports call this with every chunk read from the client, in order.
    // The answers returned are carried out by the transport, one after another.
    std::vector<Answer> Receive(const std::uint8_t* data, std::size_t size);

    // Everything received so far, across connections, and the chunk count.
    Bytes Received() const;
    void ClearReceived();
    // Blocks until at least `count` bytes have been received or `timeout` passes.
    bool WaitForBytes(std::size_t count, std::chrono::milliseconds timeout) const;

    // Scripted answers: each chunk received takes the next queued answer (if any);
    // with none queued, the default answer (none at all unless set) applies.
    void QueueAnswer(Answer answer);
    void SetDefaultAnswer(std::vector<Answer> answers);
    void ClearAnswers();

    // State as JSON for `pemberlux-sim --state` and the tests.
    virtual std::string StateJson() const;

protected:
    // Printer models override this; the base implementation uses the script.
    virtual std::vector<Answer> Respond(const std::uint8_t* data, std::size_t size);

    mutable std::mutex mutex_;

private:
    mutable std::condition_variable received_cv_;
    Bytes received_;
    std::size_t chunks_ = 0;
    std::deque<Answer> queued_;
    std::vector<Answer> default_;
};

} // namespace pemberlux::sim
