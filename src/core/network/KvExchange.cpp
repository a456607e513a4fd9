#include "core/network/KvExchange.h"

#include "core/base/Broadcast.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace pemberlux {

namespace {

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

} // namespace

KvExchange::KvExchange() : ring_(std::make_unique<KvRing>()) {}

KvExchange::~KvExchange() {
    CloseSockets();
}

void KvExchange::SetReceiverFlag(std::atomic<int>& flag, int value) {
    {
        std::lock_guard lock(receiverStateMutex_);
        flag = value;
    }
    receiverStateChanged_.notify_all();
}

bool KvExchange::Broadcast(const Bytes& datagram) {
    std::lock_guard lock(socketMutex_);
    if (send_ < 0 || !destinationValid_) return false;
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port_);
    destination.sin_addr.s_addr = destination_;
    const ssize_t sent = ::sendto(send_, datagram.data(), datagram.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&destination), sizeof(destination));
    return sent == static_cast<ssize_t>(datagram.size());
}

void KvExchange::ReceiverMain(std::uint64_t generation, std::uint32_t expected, std::string mac) {
    KvRing& ring = *ring_;
    const auto current = [&] { return keepReceiving.load() != 0 && receiverGeneration_.load() == generation; };
    // Whatever arrived before this exchange is not an answer to it.
    ring.Discard();
    SetReceiverFlag(receiverRunning, 1);

    KvBody body{};
    const std::function<bool()> abort = [&] { return !current() || TimedOut(); };
    while (current()) {
        if (TimedOut()) {
            // A result the owner has not taken yet stays; the end shows in receiverFinished.
            int none = EXCH_NONE;
            status.compare_exchange_strong(none, EXCH_TIMED_OUT);
            keepReceiving = 0;
            break;
        }
        const KvReadResult reply = ReadReply(ring, body, abort);
        if (reply) {
            if (body[0] != static_cast<std::uint8_t>(expected)) continue;
            const std::string_view text = ReplyText(body, reply.length);
            if (expected == KV_CMD_SEARCH) {
                const KvReply rc = HandleSearchReply(tables, text);
                // A rewritten row is announced too, so the list never shows older values than the table.
                if (rc == KvReply::Taken || rc == KvReply::RowUpdated) {
                    status = EXCH_LIST_CHANGED;
                } else if (rc == KvReply::TableFull) {
                    keepReceiving = 0;
                    break;
                }
            } else if (expected == KV_CMD_QUERY) {
                if (HandleQueryReply(tables, text, mac) == KvReply::Taken) {
                    status = EXCH_QUERY_ANSWERED;
                    keepReceiving = 0;
                    break;
                }
            } else {
                break;
            }
        }
    }
    receiverFinished = 1;
    SetReceiverFlag(receiverRunning, 0);
}

void KvExchange::SetSelection(std::string_view mac, std::string_view serial) {
    std::lock_guard lock(selectionMutex_);
    selectedMac_.assign(mac.substr(0, KV_KEY_MAC.width));
    selectedSerial_.assign(serial.substr(0, KV_KEY_SERIAL_NUM.width));
}

std::string KvExchange::SelectedMac() const {
    std::lock_guard lock(selectionMutex_);
    return selectedMac_;
}

std::string KvExchange::SelectedSerial() const {
    std::lock_guard lock(selectionMutex_);
    return selectedSerial_;
}

std::int64_t KvClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool KvExchange::TimedOut() const {
    return (KvClockMs() - startTime.load()) / 1000 > timeoutSeconds.load();
}

bool KvExchange::OpenSockets(std::uint16_t port) {
    CloseSockets();
    std::lock_guard lock(socketMutex_);
    ring_->Reset();
    port_ = port;

    send_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (send_ < 0) return false;
    const int on = 1;
    ::setsockopt(send_, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));
    in_addr destination{};
    destinationValid_ = ::inet_pton(AF_INET, BroadcastAddress().c_str(), &destination) == 1;
    destination_ = destination.s_addr;

    int receive = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (receive < 0) {
        CloseFd(send_);
        return false;
    }
    // Shared with every other listener on the port: broadcasts reach all of them.
    ::setsockopt(receive, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(receive, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
        CloseFd(receive);
        CloseFd(send_);
        return false;
    }
    receive_ = receive;
    return true;
}

void KvExchange::CloseSockets() {
    StopReceiver();
    {
        std::lock_guard lock(socketMutex_);
        int receive = receive_.exchange(-1);
        CloseFd(receive);
        CloseFd(send_);
        destinationValid_ = false;
    }
    status = EXCH_NONE;
    receiverFinished = 0;
    busy = 0;
}

std::uint16_t KvExchange::Port() const {
    std::lock_guard lock(socketMutex_);
    return port_;
}

int KvExchange::OnSocketNotify() {
    std::uint8_t datagram[KV_MAX_DATAGRAM];
    ssize_t n = -1;
    {
        std::lock_guard lock(socketMutex_);
        const int fd = receive_.load();
        if (fd < 0) return -1;
        n = ::recv(fd, datagram, sizeof(datagram), MSG_DONTWAIT);
    }
    if (n < 0) return -1;
    ring_->Write(datagram, static_cast<std::size_t>(n));
    return static_cast<int>(n);
}

void KvExchange::JoinReceiver() {
    std::thread finished;
    {
        std::lock_guard lock(threadMutex_);
        finished = std::move(receiverThread_);
    }
    if (finished.joinable()) finished.join();
}

void KvExchange::StopReceiver() {
    keepReceiving = 0;
    ++receiverGeneration_;
    ring_->Wake(); // a receiver waiting for bytes looks at its flags now
    JoinReceiver();
}

void KvExchange::StartReceiver(std::uint32_t command) {
    {
        std::lock_guard lock(threadMutex_);
        // An earlier receiver (normally already ended and joined by the owner) must
        // be gone before the flags are reset for this one.
        const std::uint64_t generation = ++receiverGeneration_;
        if (receiverThread_.joinable()) receiverThread_.join();
        status = EXCH_NONE;
        receiverFinished = 0;
        receiverRunning = 0;
        expectedCommand = command;
        keepReceiving = command == KV_CMD_SEARCH ? 1 : 2;
        receiverThread_ = std::thread(&KvExchange::ReceiverMain, this, generation, command, SelectedMac());
    }
    std::unique_lock lock(receiverStateMutex_);
    receiverStateChanged_.wait_for(lock, std::chrono::seconds(3),
                                   [&] { return receiverRunning.load() != 0 || receiverFinished.load() != 0; });
}

bool KvExchange::SendSearch() {
    return Broadcast(BuildSearchRequest());
}

bool KvExchange::SendQuery() {
    return Broadcast(BuildQueryRequest(SelectedMac(), SelectedSerial()));
}

bool KvExchange::SendSet() {
    ConfigFieldTable fields;
    {
        std::lock_guard lock(tables.mutex);
        fields = tables.outgoingFields;
    }
    return Broadcast(BuildSetRequest(fields));
}

} // namespace pemberlux
