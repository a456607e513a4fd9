#include "PrintServerSim.h"
#include "SimPrinter.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <queue>
#include <sstream>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace pemberlux::sim {

namespace {

using Clock = std::chrono::steady_clock;

int BindSocket(in_addr address, std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("print server simulator: socket failed");
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr = address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) {
        ::close(fd);
        throw std::runtime_error("print server simulator: cannot bind UDP port " + std::to_string(port));
    }
    return fd;
}

} // namespace

VirtualPrintServer MakePrintServer(int n) {
    VirtualPrintServer s;
    s.mac = {0x02, 0x50, 0x53, 0x00, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
    s.ip = {127, 0, 1, static_cast<std::uint8_t>(n + 1)};
    s.firmware = static_cast<std::uint16_t>(300 + n);
    s.deviceName = "PS-" + std::to_string(n);
    for (std::size_t i = 0; i < s.image.size(); ++i)
        s.image[i] = static_cast<std::uint8_t>(i * 7 + n);
    const std::uint8_t dhcpOff = ps::kDhcpOff;
    ps::Put(s.image, ps::Field::Dhcp, std::span(&dhcpOff, 1));
    ps::PutAddress(s.image, ps::Field::Ip, s.ip);
    ps::PutAddress(s.image, ps::Field::Gateway, {127, 0, 0, 1});
    ps::PutAddress(s.image, ps::Field::Mask, {255, 0, 0, 0});
    ps::Put(s.image, ps::Field::Mac, s.mac);
    ps::PutPort(s.image, 9100);
    return s;
}

Bytes SearchAnswer(const VirtualPrintServer& s) {
    return ps::SearchAnswer(s.ip, s.mac, s.firmware, s.deviceName);
}

struct PrintServerSim::Impl {
    struct Server {
        VirtualPrintServer state;
        int fd = -1;
        std::vector<Bytes> frames;
    };
    struct Pending {
        Clock::time_point due;
        std::uint64_t order;
        int fd;
        sockaddr_in to;
        Bytes bytes;
        // Scheduled `gap` after this datagram has gone out.
        std::vector<Bytes> then;
        std::chrono::milliseconds gap{0};
        bool operator>(const Pending& o) const { return due != o.due ? due > o.due : order > o.order; }
    };

    in_addr address{};
    std::uint16_t port = 0;
    int wire = -1; // sees every datagram sent to the port
    int wake = -1; // eventfd: servers added or stopping
    mutable std::mutex mutex;
    mutable std::condition_variable framesArrived;
    std::vector<Bytes> frames;
    std::size_t malformed = 0;
    std::vector<std::unique_ptr<Server>> servers;
    std::priority_queue<Pending, std::vector<Pending>, std::greater<>> pending;
    std::uint64_t order = 0;
    std::atomic<bool> stop{false};
    std::thread thread;
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(65536); // the largest UDP datagram fits

    void Schedule(int fd, const sockaddr_in& to, Bytes bytes, Clock::time_point due, std::vector<Bytes> then = {},
                  std::chrono::milliseconds gap = {}) {
        pending.push(Pending{due, order++, fd, to, std::move(bytes), std::move(then), gap});
    }

    // Decides what print server `s` answers to `datagram` from `from`; called under the mutex.
    void Handle(Server& s, const Bytes& datagram, const sockaddr_in& from) {
        auto& st = s.state;
        const auto due = Clock::now() + st.answerDelay;
        const std::optional<ps::Frame> frame = ps::DecodeFrame(datagram);
        if (!frame) return;
        if (frame->command == ps::kSearch) {
            s.frames.push_back(datagram);
            if (st.searchAnswers <= 0) return;
            std::vector<Bytes> answers(static_cast<std::size_t>(st.searchAnswers), SearchAnswer(st));
            const std::vector<Bytes>& noise = st.noiseBeforeSearchAnswer;
            if (noise.empty()) {
                for (Bytes& answer : answers)
                    Schedule(s.fd, from, std::move(answer), due + st.noiseGap);
                return;
            }
            for (std::size_t i = 0; i + 1 < noise.size(); ++i)
                Schedule(s.fd, from, noise[i], due);
            // The gap counts from the last noise datagram sent: a large burst takes a while to send.
            Schedule(s.fd, from, noise.back(), due, std::move(answers), st.noiseGap);
            return;
        }
        if (frame->mac != st.mac) return;
        s.frames.push_back(datagram);
        if (!st.answerCommands) return;
        Bytes answer;
        switch (frame->command) {
        case ps::kReadConfig:
            answer.assign(st.image.begin(), st.image.begin() + std::min(st.readAnswerSize, st.image.size()));
            answer.resize(st.readAnswerSize, 0);
            break;
        case ps::kWriteA:
            std::copy(frame->data.begin(), frame->data.end(), st.image.begin() + ps::kBlockA);
            answer = ps::Ack(frame->command);
            break;
        case ps::kWriteB:
            std::copy(frame->data.begin(), frame->data.end(), st.image.begin() + ps::kBlockB);
            answer = ps::Ack(frame->command);
            break;
        case ps::kApply:
            st.ip = ps::DhcpOn(st.image) ? st.dhcpLease.value_or(Ipv4{0, 0, 0, 0})
                                         : ps::GetAddress(st.image, ps::Field::Ip);
            answer = ps::Ack(frame->command);
            break;
        default:
            return;
        }
        if (auto instead = st.answerInstead.find(frame->command); instead != st.answerInstead.end())
            answer = instead->second;
        Schedule(s.fd, from, std::move(answer), due);
    }

    void Receive(int fd, Server* server) {
        for (;;) {
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = ::recvfrom(fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0) return;
            Bytes datagram(buffer.begin(), buffer.begin() + n);
            std::lock_guard lock(mutex);
            if (!server) {
                if (!ps::DecodeFrame(datagram)) ++malformed;
                frames.push_back(std::move(datagram));
                framesArrived.notify_all();
                continue;
            }
            // Never answer anything but this machine's loopback.
            if ((ntohl(from.sin_addr.s_addr) >> 24) != 127) continue;
            Handle(*server, datagram, from);
        }
    }

    void SendDue() {
        std::lock_guard lock(mutex);
        const auto now = Clock::now();
        while (!pending.empty() && pending.top().due <= now) {
            const Pending& p = pending.top();
            ::sendto(p.fd, p.bytes.data(), p.bytes.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&p.to),
                     sizeof p.to);
            const int fd = p.fd;
            const sockaddr_in to = p.to;
            const auto gap = p.gap;
            std::vector<Bytes> then = p.then;
            pending.pop();
            // Due after `now`: sent on a later round.
            for (Bytes& next : then)
                Schedule(fd, to, std::move(next), Clock::now() + gap);
        }
    }

    void Run() {
        std::vector<pollfd> fds;
        std::vector<Server*> owners;
        while (!stop) {
            int timeout = -1;
            {
                std::lock_guard lock(mutex);
                fds.assign({pollfd{wake, POLLIN, 0}, pollfd{wire, POLLIN, 0}});
                owners.assign(2, nullptr);
                for (auto& s : servers) {
                    fds.push_back(pollfd{s->fd, POLLIN, 0});
                    owners.push_back(s.get());
                }
                if (!pending.empty()) {
                    const auto left = pending.top().due - Clock::now();
                    timeout = static_cast<int>(
                        std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
                }
            }
            const int r = ::poll(fds.data(), fds.size(), timeout);
            if (r > 0) {
                if (fds[0].revents) {
                    std::uint64_t count;
                    [[maybe_unused]] ssize_t ignored = ::read(wake, &count, sizeof count);
                }
                for (std::size_t i = 1; i < fds.size(); ++i)
                    if (fds[i].revents & POLLIN) Receive(fds[i].fd, owners[i]);
            }
            SendDue();
        }
    }

    void Wake() {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t ignored = ::write(wake, &one, sizeof one);
    }
};

PrintServerSim::PrintServerSim(std::uint16_t port, const std::string& address) : impl_(std::make_unique<Impl>()) {
    if (inet_pton(AF_INET, address.c_str(), &impl_->address) != 1 || (ntohl(impl_->address.s_addr) >> 24) != 127)
        throw std::invalid_argument("print server simulator: " + address + " is not a loopback address");
    impl_->wire = BindSocket(impl_->address, port);
    sockaddr_in bound{};
    socklen_t len = sizeof bound;
    getsockname(impl_->wire, reinterpret_cast<sockaddr*>(&bound), &len);
    impl_->port = ntohs(bound.sin_port);
    impl_->wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    impl_->thread = std::thread([this] { impl_->Run(); });
}

PrintServerSim::~PrintServerSim() {
    impl_->stop = true;
    impl_->Wake();
    impl_->thread.join();
    for (auto& s : impl_->servers)
        ::close(s->fd);
    ::close(impl_->wire);
    ::close(impl_->wake);
}

std::uint16_t PrintServerSim::Port() const {
    return impl_->port;
}

std::size_t PrintServerSim::Add(VirtualPrintServer server) {
    auto s = std::make_unique<Impl::Server>();
    s->state = std::move(server);
    s->fd = BindSocket(impl_->address, impl_->port);
    std::size_t index;
    {
        std::lock_guard lock(impl_->mutex);
        impl_->servers.push_back(std::move(s));
        index = impl_->servers.size() - 1;
    }
    impl_->Wake();
    return index;
}

std::size_t PrintServerSim::Count() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->servers.size();
}

VirtualPrintServer PrintServerSim::Server(std::size_t index) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->servers.at(index)->state;
}

void PrintServerSim::Update(std::size_t index, const std::function<void(VirtualPrintServer&)>& change) {
    std::lock_guard lock(impl_->mutex);
    change(impl_->servers.at(index)->state);
}

std::vector<Bytes> PrintServerSim::Frames() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->frames;
}

bool PrintServerSim::WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->framesArrived.wait_for(lock, timeout, [&] { return impl_->frames.size() >= count; });
}

void PrintServerSim::ClearFrames() {
    std::lock_guard lock(impl_->mutex);
    impl_->frames.clear();
    for (auto& s : impl_->servers)
        s->frames.clear();
}

std::vector<Bytes> PrintServerSim::FramesFor(std::size_t index) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->servers.at(index)->frames;
}

std::size_t PrintServerSim::Malformed() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->malformed;
}

std::string PrintServerSim::StateJson() const {
    std::lock_guard lock(impl_->mutex);
    std::ostringstream out;
    out << "{\"port\":" << impl_->port << ",\"print_servers\":[";
    for (std::size_t i = 0; i < impl_->servers.size(); ++i) {
        const auto& s = *impl_->servers[i];
        out << (i ? "," : "") << "{\"mac\":\"" << ps::MacText(s.state.mac) << "\",\"ip\":\"" << ps::IpText(s.state.ip)
            << "\",\"firmware\":" << s.state.firmware << ",\"name\":" << JsonString(s.state.deviceName)
            << ",\"dhcp\":" << (ps::DhcpOn(s.state.image) ? "true" : "false") << ",\"frames\":" << s.frames.size()
            << "}";
    }
    out << "],\"malformed_frames\":" << impl_->malformed << "}";
    return out.str();
}

std::chrono::nanoseconds PrintServerSim::ThreadCpuTime() const {
    clockid_t clock;
    timespec t{};
    if (pthread_getcpuclockid(impl_->thread.native_handle(), &clock) != 0 || clock_gettime(clock, &t) != 0) return {};
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

} // namespace pemberlux::sim
