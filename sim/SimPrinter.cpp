#include "SimPrinter.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <sstream>

namespace pemberlux::sim {

namespace {

// Enough of the start of the traffic to see the commands; a firmware image
// would make the state file unreadable.
constexpr std::size_t kStateHexLimit = 4096;
constexpr std::size_t kStatePrintedLines = 200;
constexpr std::size_t kStateChaosExchanges = 200;

// How often the chaos mode picks each fault, in the order of ChaosFault: a
// plain answer about three times in ten, every fault as often as another.
constexpr std::array<std::uint64_t, kChaosFaultCount> kChaosWeights = {4, 1, 1, 1, 1, 1, 1, 1, 1, 1};
// One TCP connection in this many is greeted with a status burst.
constexpr std::uint64_t kChaosBurstOneIn = 4;

std::string Hex(const Bytes& bytes, std::size_t limit) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    const std::size_t n = std::min(limit, bytes.size());
    out.reserve(n * 2);
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0x0f];
    }
    return out;
}

} // namespace

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static const char digits[] = "0123456789abcdef";
            out += "\\u00";
            out += digits[(c >> 4) & 0x0f];
            out += digits[c & 0x0f];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

const char* ChaosFaultName(ChaosFault fault) {
    static const char* const names[kChaosFaultCount] = {"none",  "silent",  "late",  "short",       "garbage",
                                                        "split", "dropped", "reset", "slow_reader", "status_burst"};
    return names[static_cast<std::size_t>(fault)];
}

std::vector<Answer> SimPrinter::Receive(const std::uint8_t* data, std::size_t size) {
    Faults faults;
    bool drop = false;
    bool busy = false;
    bool chaos = false;
    {
        std::lock_guard lock(mutex_);
        received_.insert(received_.end(), data, data + size);
        ++chunks_;
        for (const std::string& line : paper_.Feed(data, size))
            if (printSink_) printSink_(line);
        connectionBytes_ += size;
        faults = faults_;
        chaos = chaosOn_;
        if (faults.dropAfter > 0 && connectionBytes_ >= faults.dropAfter) {
            drop = true;
            ++drops_;
            // The next chunk belongs to a new connection as far as the count goes,
            // also on a pty where no accept tells us so.
            connectionBytes_ = 0;
        }
        if (faults.busyAfter > 0 && !busyDone_ && connectionBytes_ >= faults.busyAfter) {
            busy = true;
            busyDone_ = true;
        }
    }
    received_cv_.notify_all();
    if (drop) {
        Answer a;
        a.drop = true;
        return {a};
    }
    std::vector<Answer> answers;
    if (!faults.silent) {
        answers = Respond(data, size);
        ApplyFaults(answers, faults);
    }
    // The transport reads the next chunk only after the answer is out: an
    // empty step that waits keeps the printer from reading.
    if (busy) answers.insert(answers.begin(), Answer{{}, faults.busyFor, false});
    std::lock_guard lock(mutex_);
    if (chaos) ApplyChaos(answers, size);
    if (!answers.empty()) lastAnswer_.clear();
    for (const Answer& a : answers) {
        answersSent_ += a.bytes.empty() ? 0 : 1;
        answeredBytes_ += a.bytes.size();
        lastAnswer_.insert(lastAnswer_.end(), a.bytes.begin(), a.bytes.end());
    }
    return answers;
}

void SimPrinter::ReceiveUnanswered(const std::uint8_t* data, std::size_t size) {
    {
        std::lock_guard lock(mutex_);
        received_.insert(received_.end(), data, data + size);
        ++chunks_;
        for (const std::string& line : paper_.Feed(data, size))
            if (printSink_) printSink_(line);
    }
    received_cv_.notify_all();
    Respond(data, size);
}

void SimPrinter::ApplyFaults(std::vector<Answer>& answers, const Faults& faults) {
    if (answers.empty()) return;
    answers.front().delay += faults.answerDelay;
    if (faults.shortAnswer) {
        std::size_t left = *faults.shortAnswer;
        for (Answer& a : answers) {
            if (a.bytes.size() > left) a.bytes.resize(left);
            left -= a.bytes.size();
        }
    }
    if (faults.garbage) {
        std::lock_guard lock(mutex_);
        for (Answer& a : answers)
            Garble(a.bytes);
    }
}

void SimPrinter::Garble(Bytes& bytes) {
    for (std::uint8_t& b : bytes) {
        // xorshift32; a non-zero xor keeps every byte different from the real one.
        garbageState_ ^= garbageState_ << 13;
        garbageState_ ^= garbageState_ >> 17;
        garbageState_ ^= garbageState_ << 5;
        std::uint8_t x = static_cast<std::uint8_t>(garbageState_);
        b ^= x ? x : 0xa5;
    }
}

std::uint64_t SimPrinter::Draw(std::uint64_t low, std::uint64_t high) {
    // Drawn by hand rather than by a distribution, whose results the standard
    // leaves to each library: a seed gives the same faults everywhere.
    return low + chaos_() % (high - low + 1);
}

Bytes SimPrinter::StatusBurst() {
    Bytes burst(Draw(1, 8));
    for (std::uint8_t& b : burst)
        b = static_cast<std::uint8_t>(Draw(0, 255));
    return burst;
}

void SimPrinter::ApplyChaos(std::vector<Answer>& answers, std::size_t chunkBytes) {
    std::uint64_t pick = Draw(0, std::accumulate(kChaosWeights.begin(), kChaosWeights.end(), std::uint64_t{0}) - 1);
    std::size_t k = 0;
    while (pick >= kChaosWeights[k])
        pick -= kChaosWeights[k++];
    ChaosExchange e;
    e.fault = static_cast<ChaosFault>(k);
    e.connection = connections_;
    e.chunkBytes = chunkBytes;
    // The answer's bytes in one piece, and the wait before its first step.
    Bytes joined;
    std::chrono::milliseconds wait{0};
    for (const Answer& a : answers) {
        joined.insert(joined.end(), a.bytes.begin(), a.bytes.end());
        wait += a.delay;
    }
    switch (e.fault) {
    case ChaosFault::None:
        break;
    case ChaosFault::Silent:
        answers = {Answer{{}, wait}};
        break;
    case ChaosFault::Late:
        if (!answers.empty()) answers.front().delay += std::chrono::milliseconds(Draw(50, 1500));
        break;
    case ChaosFault::Short:
        if (!joined.empty()) {
            joined.resize(Draw(0, joined.size() - 1));
            answers = {Answer{joined, wait}};
        }
        break;
    case ChaosFault::Garbage:
        for (Answer& a : answers)
            Garble(a.bytes);
        break;
    case ChaosFault::Split:
        if (joined.size() >= 2) {
            const std::size_t pieces = Draw(2, std::min<std::size_t>(4, joined.size()));
            std::vector<std::size_t> cuts = {0, joined.size()};
            while (cuts.size() < pieces + 1) {
                const std::size_t at = Draw(1, joined.size() - 1);
                if (std::find(cuts.begin(), cuts.end(), at) == cuts.end()) cuts.push_back(at);
            }
            std::sort(cuts.begin(), cuts.end());
            answers.clear();
            for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
                const auto gap = i == 0 ? wait : std::chrono::milliseconds(Draw(10, 600));
                answers.push_back(Answer{Bytes(joined.begin() + static_cast<std::ptrdiff_t>(cuts[i]),
                                               joined.begin() + static_cast<std::ptrdiff_t>(cuts[i + 1])),
                                         gap});
            }
        }
        break;
    case ChaosFault::Dropped:
        answers = {Answer{{}, wait, true}};
        break;
    case ChaosFault::Reset:
        joined.resize(Draw(0, joined.size()));
        answers = {Answer{joined, wait, false, true}};
        break;
    case ChaosFault::SlowReader:
        answers.insert(answers.begin(), Answer{{}, std::chrono::milliseconds(Draw(50, 1500))});
        break;
    case ChaosFault::StatusBurst:
        answers.push_back(Answer{StatusBurst()});
        break;
    }
    for (const Answer& a : answers)
        e.sent.insert(e.sent.end(), a.bytes.begin(), a.bytes.end());
    chaosRecord_.push_back(std::move(e));
}

std::vector<Answer> SimPrinter::Connected() {
    std::vector<Answer> greeting;
    {
        std::lock_guard lock(mutex_);
        connectionBytes_ = 0;
        busyDone_ = false;
        ++connections_;
        if (chaosOn_ && Draw(1, kChaosBurstOneIn) == 1) {
            ChaosExchange e{ChaosFault::StatusBurst, connections_, 0, StatusBurst()};
            greeting.push_back(Answer{e.sent});
            answersSent_ += 1;
            answeredBytes_ += e.sent.size();
            chaosRecord_.push_back(std::move(e));
        }
    }
    OnConnected();
    return greeting;
}

void SimPrinter::SetChaos(std::uint64_t seed) {
    std::lock_guard lock(mutex_);
    chaosSeed_ = seed;
    chaos_.seed(seed);
    chaosOn_ = true;
}

void SimPrinter::SetChaosActive(bool active) {
    std::lock_guard lock(mutex_);
    chaosOn_ = active && chaosSeed_.has_value();
}

std::vector<ChaosExchange> SimPrinter::ChaosRecord() const {
    std::lock_guard lock(mutex_);
    return chaosRecord_;
}

std::vector<Answer> SimPrinter::Respond(const std::uint8_t*, std::size_t) {
    return ScriptedAnswer().value_or(std::vector<Answer>{});
}

std::optional<std::vector<Answer>> SimPrinter::ScriptedAnswer() {
    std::lock_guard lock(mutex_);
    if (!queued_.empty()) {
        Answer a = std::move(queued_.front());
        queued_.pop_front();
        return std::vector<Answer>{std::move(a)};
    }
    if (!default_.empty()) return default_;
    return std::nullopt;
}

Bytes SimPrinter::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::size_t SimPrinter::Chunks() const {
    std::lock_guard lock(mutex_);
    return chunks_;
}

void SimPrinter::ClearReceived() {
    std::lock_guard lock(mutex_);
    received_.clear();
    chunks_ = 0;
    paper_.Clear();
}

std::vector<std::string> SimPrinter::Printed() const {
    std::lock_guard lock(mutex_);
    return paper_.Lines();
}

std::map<std::string, std::size_t> SimPrinter::PrintedCounts() const {
    std::lock_guard lock(mutex_);
    return paper_.Counts();
}

void SimPrinter::SetPrintSink(std::function<void(const std::string&)> sink) {
    std::lock_guard lock(mutex_);
    printSink_ = std::move(sink);
}

bool SimPrinter::WaitForBytes(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return received_cv_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
}

Bytes SimPrinter::LastAnswer() const {
    std::lock_guard lock(mutex_);
    return lastAnswer_;
}

void SimPrinter::QueueAnswer(Answer answer) {
    std::lock_guard lock(mutex_);
    queued_.push_back(std::move(answer));
}

void SimPrinter::SetDefaultAnswer(std::vector<Answer> answers) {
    std::lock_guard lock(mutex_);
    default_ = std::move(answers);
}

void SimPrinter::ClearAnswers() {
    std::lock_guard lock(mutex_);
    queued_.clear();
    default_.clear();
}

void SimPrinter::SetFaults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
}

Faults SimPrinter::GetFaults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

std::string SimPrinter::BaseStateFields() const {
    std::ostringstream out;
    out << "\"model\":" << JsonString(ModelName()) << ",\"received_bytes\":" << received_.size()
        << ",\"chunks\":" << chunks_ << ",\"connections\":" << connections_ << ",\"drops\":" << drops_
        << ",\"answers_sent\":" << answersSent_ << ",\"answered_bytes\":" << answeredBytes_ << ",\"received_hex\":\""
        << Hex(received_, kStateHexLimit) << "\""
        << ",\"received_hex_complete\":" << (received_.size() <= kStateHexLimit ? "true" : "false");
    // The newest printed lines: enough to see what the last jobs did.
    const std::vector<std::string> lines = paper_.Lines();
    out << ",\"printed\":[";
    const std::size_t first = lines.size() > kStatePrintedLines ? lines.size() - kStatePrintedLines : 0;
    for (std::size_t i = first; i < lines.size(); ++i)
        out << (i > first ? "," : "") << JsonString(lines[i]);
    out << "],\"printed_counts\":{";
    bool firstCount = true;
    for (const auto& [name, count] : paper_.Counts()) {
        out << (firstCount ? "" : ",") << JsonString(name) << ":" << count;
        firstCount = false;
    }
    out << "}";
    if (chaosSeed_) {
        // How many exchanges got each fault, and the newest exchanges.
        std::array<std::size_t, kChaosFaultCount> counts{};
        for (const ChaosExchange& e : chaosRecord_)
            ++counts[static_cast<std::size_t>(e.fault)];
        out << ",\"chaos\":{\"seed\":" << *chaosSeed_ << ",\"active\":" << (chaosOn_ ? "true" : "false")
            << ",\"exchanges\":" << chaosRecord_.size() << ",\"faults\":{";
        for (std::size_t k = 0; k < kChaosFaultCount; ++k)
            out << (k ? "," : "") << '"' << ChaosFaultName(static_cast<ChaosFault>(k)) << "\":" << counts[k];
        out << "},\"recent\":[";
        const std::size_t first = chaosRecord_.size() > kStateChaosExchanges ? chaosRecord_.size() - kStateChaosExchanges : 0;
        for (std::size_t i = first; i < chaosRecord_.size(); ++i) {
            const ChaosExchange& e = chaosRecord_[i];
            out << (i > first ? "," : "") << "{\"exchange\":" << i << ",\"fault\":\"" << ChaosFaultName(e.fault)
                << "\",\"connection\":" << e.connection << ",\"chunk_bytes\":" << e.chunkBytes
                << ",\"sent_hex\":\"" << Hex(e.sent, kStateHexLimit) << "\"}";
        }
        out << "]}";
    }
    return out.str();
}

std::string SimPrinter::StateJson() const {
    std::lock_guard lock(mutex_);
    return "{" + BaseStateFields() + "}";
}

} // namespace pemberlux::sim
