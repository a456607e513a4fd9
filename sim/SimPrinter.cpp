#include "SimPrinter.h"

#include <sstream>

namespace pemberlux::sim {

std::vector<Answer> SimPrinter::Receive(const std::uint8_t* data, std::size_t size) {
    {
        std::lock_guard lock(mutex_);
        received_.insert(received_.end(), data, data + size);
        ++chunks_;
    }
    received_cv_.notify_all();
    return Respond(data, size);
}

std::vector<Answer> SimPrinter::Respond(const std::uint8_t*, std::size_t) {
    std::lock_guard lock(mutex_);
    if (!queued_.empty()) {
        Answer a = std::move(queued_.front());
        queued_.pop_front();
        return {std::move(a)};
    }
    return default_;
}

Bytes SimPrinter::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

void SimPrinter::ClearReceived() {
    std::lock_guard lock(mutex_);
    received_.clear();
    chunks_ = 0;
}

bool SimPrinter::WaitForBytes(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return received_cv_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
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

std::string SimPrinter::StateJson() const {
    std::lock_guard lock(mutex_);
    std::ostringstream out;
    out << "{\"received_bytes\":" << received_.size() << ",\"chunks\":" << chunks_ << "}";
    return out.str();
}

} // namespace pemberlux::sim
