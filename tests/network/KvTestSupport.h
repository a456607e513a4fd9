// The search dialog's side of the key-value protocol, played by a test: a session,
// a thread that hands every readable datagram to OnReadable (where the dialog has
// its socket notifier) and a Tick() in place of the dialog's 100 ms timer.
#pragma once

#include "Transports.h"
#include "core/network/KvSession.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace pemberlux::test {

using namespace std::chrono_literals;
using sim::FreeUdpPort;

// Sends raw datagrams to the loopback broadcast address, as a printer would.
class RawSender {
public:
    explicit RawSender(std::uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        const int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));
        to_.sin_family = AF_INET;
        to_.sin_port = htons(port);
        ::inet_pton(AF_INET, "127.255.255.255", &to_.sin_addr);
    }
    ~RawSender() { ::close(fd_); }
    bool Send(const std::vector<std::uint8_t>& bytes) {
        return ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to_), sizeof(to_)) ==
               static_cast<ssize_t>(bytes.size());
    }

private:
    int fd_ = -1;
    sockaddr_in to_{};
};

// Calls OnReadable whenever the receiving socket has a datagram; records their sizes.
// It sleeps in poll() on the socket and on its own stop descriptor, as the dialog's
// event loop sleeps on its socket notifier.
class KvPump {
public:
    explicit KvPump(KvSession& session)
        : session_(session), wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), thread_([this] { Run(); }) {}
    ~KvPump() {
        Stop();
        ::close(wake_);
    }
    void Stop() {
        stop_ = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
        if (thread_.joinable()) thread_.join();
    }
    std::vector<int> Sizes() const {
        std::lock_guard lock(mutex_);
        return sizes_;
    }
    std::size_t Count() const {
        std::lock_guard lock(mutex_);
        return sizes_.size();
    }

private:
    void Run() {
        while (!stop_) {
            // The session's socket may change (closed, opened again): look at it now and then.
            pollfd p[2] = {{wake_, POLLIN, 0}, {session_.ReceiveSocket(), POLLIN, 0}};
            const nfds_t watched = p[1].fd < 0 ? 1 : 2;
            if (::poll(p, watched, 100) <= 0 || watched == 1 || !(p[1].revents & POLLIN)) continue;
            const int n = session_.OnReadable();
            if (n >= 0) {
                std::lock_guard lock(mutex_);
                sizes_.push_back(n);
            }
        }
    }

    KvSession& session_;
    int wake_ = -1;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<int> sizes_;
    std::thread thread_;
};

// What the dialog's timer would have seen so far.
struct Observed {
    std::vector<FoundPrinter> rows;
    int listChanges = 0;
    bool answered = false;
    KvPollResult answer; // the last one with queryAnswered
    bool timedOut = false;
    bool ended = false;
    bool openSetup = false;
    std::chrono::steady_clock::time_point endedAt{};
};

class KvOwner {
public:
    explicit KvOwner(std::uint16_t port, KvTiming timing = {}) : session(timing) {
        opened = session.Open(port);
        pump = std::make_unique<KvPump>(session);
    }
    ~KvOwner() { Close(); }

    void Close() {
        if (pump) pump->Stop();
        session.Close();
    }

    void Tick() {
        const KvPollResult r = session.Poll();
        if (r.listChanged) {
            seen.rows = r.rows;
            ++seen.listChanges;
        }
        if (r.queryAnswered) {
            seen.answered = true;
            seen.answer = r;
        }
        seen.timedOut |= r.timedOut;
        if (r.exchangeEnded) {
            seen.ended = true;
            seen.endedAt = std::chrono::steady_clock::now();
        }
        seen.openSetup |= r.openSetup;
    }

    // Ticks every `period` until `done` holds or `timeout` passes.
    bool TickUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                   std::chrono::milliseconds period = 10ms) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            Tick();
            if (done()) return true;
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(period);
        }
    }

    // Starts a search and ticks until it has ended; returns the seconds it took.
    double SearchToEnd(std::chrono::milliseconds timeout = 30s) {
        seen = {};
        const auto start = std::chrono::steady_clock::now();
        if (session.StartSearch() != KvStart::Started) return -1;
        if (!TickUntil([&] { return seen.ended; }, timeout)) return -1;
        return std::chrono::duration<double>(seen.endedAt - start).count();
    }

    KvSession session;
    bool opened = false;
    std::unique_ptr<KvPump> pump;
    Observed seen;
};

} // namespace pemberlux::test
