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

KvExchangeState KvExchange;

namespace {

struct Sockets {
    std::mutex mutex; // open, close, send and receive never overlap
    int send = -1;
    std::atomic<int> receive{-1};
    sockaddr_in destination{};
    bool destinationValid = false;
    std::uint16_t port = KV_UDP_PORT;
};

Sockets& TheSockets() {
    static Sockets sockets;
    return sockets;
}

KvRing& TheRing() {
    static KvRing ring;
    return ring;
}

std::mutex selectionMutex;
std::string selectedMac;
std::string selectedSerial;

// The receiver thread and its generation: a receiver whose generation is no longer
// the current one stops at its next check, so two never read the ring together.
std::mutex threadMutex;
std::thread receiverThread;
std::atomic<std::uint64_t> receiverGeneration{0};

// Signals receiver-running and receiver-finished to a starter waiting for them.
std::mutex receiverStateMutex;
std::condition_variable receiverStateChanged;

void SetReceiverFlag(std::atomic<int>& flag, int value) {
    {
        std::lock_guard lock(receiverStateMutex);
        flag = value;
    }
    receiverStateChanged.notify_all();
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

bool Broadcast(const Bytes& datagram) {
    Sockets& s = TheSockets();
    std::lock_guard lock(s.mutex);
    if (s.send < 0 || !s.destinationValid) return false;
    const ssize_t sent = ::sendto(s.send, datagram.data(), datagram.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&s.destination), sizeof(s.destination));
    return sent == static_cast<ssize_t>(datagram.size());
}

void ReceiverMain(std::uint64_t generation, std::uint32_t expected, std::string mac) {
    KvExchangeState& ex = KvExchange;
    KvRing& ring = TheRing();
    const auto current = [&] { return ex.keepReceiving.load() != 0 && receiverGeneration.load() == generation; };
    // Whatever arrived before this exchange is not an answer to it.
    ring.Discard();
    SetReceiverFlag(ex.receiverRunning, 1);

    KvBody body{};
    const std::function<bool()> abort = [&] { return !current() || KvExchangeTimedOut(); };
    while (current()) {
        if (KvExchangeTimedOut()) {
            // A result the owner has not taken yet stays; the end shows in receiverFinished.
            int none = EXCH_NONE;
            ex.status.compare_exchange_strong(none, EXCH_TIMED_OUT);
            ex.keepReceiving = 0;
            break;
        }
        const KvReadResult reply = ReadReply(ring, body, abort);
        if (reply) {
            if (body[0] != static_cast<std::uint8_t>(expected)) continue;
            const std::string_view text = ReplyText(body, reply.length);
            if (expected == KV_CMD_SEARCH) {
                const int rc = HandleSearchReply(text);
                // A rewritten row is announced too, so the list never shows older values than the table.
                if (rc == KV_REPLY_TAKEN || rc == KV_ROW_UPDATED) {
                    ex.status = EXCH_LIST_CHANGED;
                } else if (rc == KV_TABLE_FULL) {
                    ex.keepReceiving = 0;
                    break;
                }
            } else if (expected == KV_CMD_QUERY) {
                if (HandleQueryReply(text, mac) == KV_REPLY_TAKEN) {
                    ex.status = EXCH_QUERY_ANSWERED;
                    ex.keepReceiving = 0;
                    break;
                }
            } else {
                break;
            }
        }
    }
    ex.receiverFinished = 1;
    SetReceiverFlag(ex.receiverRunning, 0);
}

} // namespace

void SetKvSelection(std::string_view mac, std::string_view serial) {
    std::lock_guard lock(selectionMutex);
    selectedMac.assign(mac.substr(0, KV_KEY_MAC.width));
    selectedSerial.assign(serial.substr(0, KV_KEY_SERIAL_NUM.width));
}

std::string KvSelectedMac() {
    std::lock_guard lock(selectionMutex);
    return selectedMac;
}

std::string KvSelectedSerial() {
    std::lock_guard lock(selectionMutex);
    return selectedSerial;
}

std::int64_t KvClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool KvExchangeTimedOut() {
    return (KvClockMs() - KvExchange.startTime.load()) / 1000 > KvExchange.timeoutSeconds.load();
}

KvRing& KvReceiveRing() {
    return TheRing();
}

bool OpenKvSockets(std::uint16_t port) {
    CloseKvSockets();
    Sockets& s = TheSockets();
    std::lock_guard lock(s.mutex);
    TheRing().Reset();
    s.port = port;

    s.send = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s.send < 0) return false;
    const int on = 1;
    ::setsockopt(s.send, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));
    s.destination = {};
    s.destination.sin_family = AF_INET;
    s.destination.sin_port = htons(port);
    s.destinationValid = ::inet_pton(AF_INET, BroadcastAddress().c_str(), &s.destination.sin_addr) == 1;

    int receive = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (receive < 0) {
        CloseFd(s.send);
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
        CloseFd(s.send);
        return false;
    }
    s.receive = receive;
    return true;
}

void CloseKvSockets() {
    StopReceiver();
    Sockets& s = TheSockets();
    {
        std::lock_guard lock(s.mutex);
        int receive = s.receive.exchange(-1);
        CloseFd(receive);
        CloseFd(s.send);
        s.destinationValid = false;
    }
    KvExchange.status = EXCH_NONE;
    KvExchange.receiverFinished = 0;
    KvExchange.busy = 0;
}

int KvReceiveSocket() {
    return TheSockets().receive.load();
}

std::uint16_t KvPort() {
    Sockets& s = TheSockets();
    std::lock_guard lock(s.mutex);
    return s.port;
}

int OnSocketNotify() {
    std::uint8_t datagram[KV_MAX_DATAGRAM];
    ssize_t n = -1;
    {
        Sockets& s = TheSockets();
        std::lock_guard lock(s.mutex);
        const int fd = s.receive.load();
        if (fd < 0) return -1;
        n = ::recv(fd, datagram, sizeof(datagram), MSG_DONTWAIT);
    }
    if (n < 0) return -1;
    TheRing().Write(datagram, static_cast<std::size_t>(n));
    return static_cast<int>(n);
}

void JoinReceiver() {
    std::thread finished;
    {
        std::lock_guard lock(threadMutex);
        finished = std::move(receiverThread);
    }
    if (finished.joinable()) finished.join();
}

void StopReceiver() {
    KvExchange.keepReceiving = 0;
    ++receiverGeneration;
    TheRing().Wake(); // a receiver waiting for bytes looks at its flags now
    JoinReceiver();
}

void StartReceiver(std::uint32_t expectedCommand) {
    KvExchangeState& ex = KvExchange;
    {
        std::lock_guard lock(threadMutex);
        // An earlier receiver (normally already ended and joined by the owner) must
        // be gone before the flags are reset for this one.
        const std::uint64_t generation = ++receiverGeneration;
        if (receiverThread.joinable()) receiverThread.join();
        ex.status = EXCH_NONE;
        ex.receiverFinished = 0;
        ex.receiverRunning = 0;
        ex.expectedCommand = expectedCommand;
        ex.keepReceiving = expectedCommand == KV_CMD_SEARCH ? 1 : 2;
        receiverThread = std::thread(ReceiverMain, generation, expectedCommand, KvSelectedMac());
    }
    std::unique_lock lock(receiverStateMutex);
    receiverStateChanged.wait_for(lock, std::chrono::seconds(3),
                                  [&] { return ex.receiverRunning.load() != 0 || ex.receiverFinished.load() != 0; });
}

bool SendSearch() {
    return Broadcast(BuildSearchRequest());
}

bool SendQuery() {
    return Broadcast(BuildQueryRequest(KvSelectedMac(), KvSelectedSerial()));
}

bool SendSet() {
    ConfigFieldTable fields;
    {
        std::lock_guard lock(KvTablesMutex());
        fields = OutgoingFields;
    }
    return Broadcast(BuildSetRequest(fields));
}

} // namespace pemberlux
