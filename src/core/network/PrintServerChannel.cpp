#include "core/network/PrintServerChannel.h"

#include "core/base/Broadcast.h"
#include "core/base/MacAddress.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <future>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace pemberlux {

namespace {

using Clock = std::chrono::steady_clock;

// No wait blocks longer than this without looking at the stop request.
constexpr std::chrono::milliseconds POLL_SLICE{100};

template <std::size_t N, std::size_t M>
std::array<std::uint8_t, N> Slice(const std::array<std::uint8_t, M>& from, std::size_t at) {
    static_assert(N <= M);
    std::array<std::uint8_t, N> part;
    std::copy_n(from.begin() + at, N, part.begin());
    return part;
}

} // namespace

// ---- DiscoveryRecord ----

Ipv4Octets DiscoveryRecord::Ip() const {
    return Slice<4>(bytes, IP_OFFSET);
}

MacAddress DiscoveryRecord::Mac() const {
    return Slice<6>(bytes, MAC_OFFSET);
}

std::uint16_t DiscoveryRecord::Firmware() const {
    return static_cast<std::uint16_t>(bytes[FIRMWARE_OFFSET] | (bytes[FIRMWARE_OFFSET + 1] << 8));
}

std::string DiscoveryRecord::MacText() const {
    return FormatMac(Mac());
}

std::string DiscoveryRecord::FirmwareText() const {
    return std::to_string(Firmware());
}

std::string DiscoveryRecord::IpText() const {
    const Ipv4Octets a = Ip();
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    return text;
}

std::string DiscoveryRecord::DeviceName() const {
    const auto first = bytes.begin() + NAME_OFFSET;
    const auto last = std::find(first, first + NAME_SIZE, std::uint8_t{0});
    std::string name(first, last);
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

std::optional<DiscoveryRecord> ParseDiscoveryDatagram(const std::uint8_t* data, std::size_t size) {
    if (!data || size != DISCOVERY_RECORD_SIZE) return std::nullopt;
    DiscoveryRecord record;
    std::copy_n(data, DISCOVERY_RECORD_SIZE, record.bytes.begin());
    return record;
}

// ---- ConfigImage ----

void ConfigImage::Load(const std::uint8_t* answer, std::size_t size) {
    size = answer ? std::min(size, PS_CONFIG_SIZE) : 0;
    std::array<std::uint8_t, PS_CONFIG_SIZE> all{};
    std::copy_n(answer ? answer : all.data(), size, all.begin());
    auto at = all.begin();
    std::copy_n(at, blockA.size(), blockA.begin());
    at += blockA.size();
    std::copy_n(at, blockB.size(), blockB.begin());
    at += blockB.size();
    std::copy_n(at, blockC.size(), blockC.begin());
    at += blockC.size();
    if (size == PS_CONFIG_SIZE) std::copy_n(at, blockD.size(), blockD.begin());
}

MacAddress ConfigImage::Mac() const {
    return Slice<6>(blockA, MAC_OFFSET);
}

std::uint16_t ConfigImage::PrintPort() const {
    return static_cast<std::uint16_t>(blockB[PORT_OFFSET] | (blockB[PORT_OFFSET + 1] << 8));
}

void ConfigImage::SetPrintPort(std::uint16_t port) {
    blockB[PORT_OFFSET] = static_cast<std::uint8_t>(port & 0xFF);
    blockB[PORT_OFFSET + 1] = static_cast<std::uint8_t>(port >> 8);
}

Ipv4Octets ConfigImage::GetAddress(std::size_t offset) const {
    return {blockA[offset + 3], blockA[offset + 2], blockA[offset + 1], blockA[offset]};
}

void ConfigImage::SetAddress(std::size_t offset, const Ipv4Octets& a) {
    for (std::size_t i = 0; i < a.size(); ++i)
        blockA[offset + i] = a[a.size() - 1 - i];
}

// ---- Frames ----

std::uint8_t FrameChecksum(std::span<const std::uint8_t> frame) {
    unsigned sum = 0;
    for (std::size_t i = 1; i < frame.size(); ++i)
        sum += frame[i];
    return static_cast<std::uint8_t>(sum & 0xFF);
}

Bytes BuildSearchFrame() {
    Bytes frame{0xFF, 0x01, PS_CMD_SEARCH};
    frame.push_back(FrameChecksum(frame));
    return frame;
}

Bytes BuildAddressedFrame(std::uint8_t command, const MacAddress& mac, std::span<const std::uint8_t> data) {
    Bytes frame;
    frame.reserve(PS_HEADER_SIZE + data.size() + 1);
    frame.push_back(0xFF);
    frame.push_back(static_cast<std::uint8_t>(PS_HEADER_SIZE + data.size() + 1 - 3));
    frame.push_back(command);
    frame.insert(frame.end(), mac.begin(), mac.end());
    for (int i = 0; i < 2; ++i) // login name, then password
        frame.insert(frame.end(), PS_CREDENTIAL, PS_CREDENTIAL + sizeof PS_CREDENTIAL);
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(FrameChecksum(frame));
    return frame;
}

bool IsAcknowledgement(std::uint8_t command, const std::uint8_t* answer, std::size_t size) {
    const std::uint8_t ack[PS_ACK_SIZE] = {0xFF, 0x01, command, 0x4B};
    return answer && size == PS_ACK_SIZE && std::equal(ack, ack + PS_ACK_SIZE, answer);
}

// ---- PrintServerChannel ----

PrintServerChannel::PrintServerChannel(std::uint16_t port) : port_(port) {}

PrintServerChannel::~PrintServerChannel() {
    StopReceiver();
    CloseSocket();
}

bool PrintServerChannel::TryClaim() {
    bool expected = true;
    return idle_.compare_exchange_strong(expected, false);
}

void PrintServerChannel::MarkIdle() {
    {
        std::lock_guard lock(queueMutex_);
        idle_ = true;
    }
    changed_.notify_all();
}

bool PrintServerChannel::IsIdle() const {
    return idle_;
}

bool PrintServerChannel::PopAnswer(DiscoveryRecord& record) {
    std::lock_guard lock(queueMutex_);
    if (queue_.empty()) return false;
    record = queue_.front();
    queue_.pop_front();
    return true;
}

bool PrintServerChannel::WaitAnswerOrIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(queueMutex_);
    return changed_.wait_for(lock, timeout, [this] { return !queue_.empty() || idle_; });
}

bool PrintServerChannel::WaitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(queueMutex_);
    return changed_.wait_for(lock, timeout, [this] { return idle_.load(); });
}

void PrintServerChannel::CloseSocket() {
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
}

bool PrintServerChannel::PrepareSocket() {
    CloseSocket();
    in_addr address{};
    if (inet_pton(AF_INET, BroadcastAddress().c_str(), &address) != 1) return false;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        ::close(fd);
        return false;
    }
    // Not bound: the system picks the source port and the print servers answer to it.
    socket_ = fd;
    destination_ = address.s_addr;
    return true;
}

bool PrintServerChannel::SendFrame() {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port_);
    to.sin_addr.s_addr = destination_;
    const ssize_t sent = ::sendto(socket_, frame_.data(), frame_.size(), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == static_cast<ssize_t>(frame_.size());
}

bool PrintServerChannel::WaitReadable(std::chrono::milliseconds timeout, const std::stop_token& stop) {
    const auto deadline = Clock::now() + timeout;
    while (!stop_ && !stop.stop_requested()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{socket_, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::min(left, POLL_SLICE).count()));
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return false;
    }
    return false;
}

bool PrintServerChannel::ReceiveAnswer(std::size_t capacity, const std::stop_token& stop) {
    answer_.assign(capacity, 0);
    answerSize_ = 0;
    if (WaitReadable(PS_ANSWER_TIMEOUT, stop)) {
        // Everything already waiting, one datagram after another, up to the capacity.
        while (answerSize_ < capacity) {
            const ssize_t n = ::recv(socket_, answer_.data() + answerSize_, capacity - answerSize_, MSG_DONTWAIT);
            if (n <= 0) break;
            answerSize_ += static_cast<std::size_t>(n);
        }
    }
    return answerSize_ > 0;
}

PsSearchResult PrintServerChannel::Search() {
    Claim claim(*this);
    if (!claim) return PsSearchResult::Busy;
    {
        std::lock_guard lock(queueMutex_);
        queue_.clear();
    }
    StopReceiver(); // the previous search's receiver has already marked the channel idle
    if (!PrepareSocket()) return PsSearchResult::Failed;
    std::promise<void> ready;
    std::future<void> started = ready.get_future();
    try {
        receiver_ = std::thread([this, ready = std::move(ready)]() mutable {
            ready.set_value();
            ReceiverLoop();
        });
    } catch (const std::system_error&) {
        return PsSearchResult::Failed;
    }
    if (started.wait_for(PS_RECEIVER_START_TIMEOUT) != std::future_status::ready) {
        StopReceiver();
        return PsSearchResult::Failed;
    }
    claim.HandToReceiver();
    frame_ = BuildSearchFrame();
    SendFrame(); // a short send only means fewer answers
    configRead_ = false;
    return PsSearchResult::Started;
}

void PrintServerChannel::ReceiverLoop() {
    std::uint8_t datagram[DISCOVERY_RECORD_SIZE];
    const auto end = Clock::now() + PS_SEARCH_LIMIT;
    // Each datagram opens a new answer time-out; a quiet one ends the search, and
    // so does the search's own limit.
    const auto nextWait = [&end] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        return std::min(left, PS_ANSWER_TIMEOUT);
    };
    while (WaitReadable(nextWait())) {
        // MSG_TRUNC gives the datagram's real length while only the buffer's size is copied:
        // a longer datagram is not an answer, and the search goes on.
        const ssize_t n = ::recv(socket_, datagram, sizeof datagram, MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            break; // a receive error ends the search
        }
        if (auto record = ParseDiscoveryDatagram(datagram, static_cast<std::size_t>(n))) {
            {
                std::lock_guard lock(queueMutex_);
                if (queue_.size() >= PS_QUEUE_LIMIT) continue;
                queue_.push_back(*record);
            }
            changed_.notify_all();
        }
    }
    // The last thing this thread does: from here on another exchange may take the socket.
    if (!stop_) MarkIdle();
}

void PrintServerChannel::StopReceiver() {
    if (!receiver_.joinable()) return;
    stop_ = true;
    receiver_.join();
    stop_ = false;
}

PsReadResult PrintServerChannel::ReadConfig(const DiscoveryRecord& target, const std::stop_token& stop) {
    Claim claim(*this);
    if (!claim) return PsReadResult::Busy;
    // A read that brings no image leaves the channel unread.
    const auto fail = [this](PsReadResult result) {
        configRead_ = false;
        return result;
    };
    if (!PrepareSocket()) return fail(PsReadResult::SendFailed);
    frame_ = BuildAddressedFrame(PS_CMD_READ_CONFIG, target.Mac());
    if (!SendFrame()) return fail(PsReadResult::SendFailed);
    if (!ReceiveAnswer(PS_CONFIG_SIZE, stop)) return fail(PsReadResult::NoAnswer);
    image_.Load(answer_.data(), answerSize_);
    configRead_ = true;
    return PsReadResult::Ok;
}

PsWriteResult PrintServerChannel::WriteBlock(std::uint8_t command, const std::stop_token& stop) {
    if (command != PS_CMD_WRITE_A && command != PS_CMD_WRITE_B) return PsWriteResult::SendFailed;
    if (!idle_) return PsWriteResult::Busy;
    if (!configRead_) return PsWriteResult::NotRead;
    Claim claim(*this);
    if (!claim) return PsWriteResult::Busy;
    if (!PrepareSocket()) return PsWriteResult::NoAnswer;
    const std::span<const std::uint8_t> block =
        command == PS_CMD_WRITE_A ? std::span<const std::uint8_t>(image_.blockA) : std::span(image_.blockB);
    frame_ = BuildAddressedFrame(command, image_.Mac(), block);
    if (!SendFrame()) return PsWriteResult::SendFailed;
    if (!ReceiveAnswer(PS_ACK_SIZE, stop)) return PsWriteResult::NoAnswer;
    return IsAcknowledgement(command, answer_.data(), answerSize_) ? PsWriteResult::Acknowledged
                                                                   : PsWriteResult::NotAcknowledged;
}

PsApplyResult PrintServerChannel::Apply(const DiscoveryRecord& target, const std::stop_token& stop) {
    if (!idle_) return PsApplyResult::Busy;
    if (!configRead_) return PsApplyResult::NotRead;
    Claim claim(*this);
    if (!claim) return PsApplyResult::Busy;
    if (!PrepareSocket()) return PsApplyResult::SendFailed;
    frame_ = BuildAddressedFrame(PS_CMD_APPLY, target.Mac());
    if (!SendFrame()) return PsApplyResult::SendFailed;
    if (!ReceiveAnswer(PS_ACK_SIZE, stop)) return PsApplyResult::NoAnswer;
    return IsAcknowledgement(PS_CMD_APPLY, answer_.data(), answerSize_) ? PsApplyResult::Acknowledged
                                                                        : PsApplyResult::OtherAnswer;
}

} // namespace pemberlux
