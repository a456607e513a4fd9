#include "PrintServerSim.h"
#include "SimPrinter.h"

#include "network/PrintServerChannel.h"

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

constexpr std::size_t HEADER = PS_HEADER_SIZE;
constexpr std::size_t BLOCK_A = PS_BLOCK_A_SIZE;
constexpr std::size_t BLOCK_B_AT = PS_BLOCK_A_SIZE;
constexpr std::size_t BLOCK_B = PS_BLOCK_SIZE;

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

// A well-formed addressed frame: length, checksum and credentials.
bool WellFormed(const Bytes& f) {
    if (f.size() < HEADER + 1 || f[0] != 0xFF || f[1] != f.size() - 3) return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i + 1 < f.size(); ++i)
        sum += f[i];
    if (static_cast<std::uint8_t>(sum) != f.back()) return false;
    const auto* login = reinterpret_cast<const std::uint8_t*>(PS_CREDENTIAL);
    return std::equal(login, login + sizeof PS_CREDENTIAL, f.begin() + 9) &&
           std::equal(login, login + sizeof PS_CREDENTIAL, f.begin() + 15);
}

std::array<std::uint8_t, PS_CONFIG_SIZE> ImageBytes(const ConfigImage& image) {
    std::array<std::uint8_t, PS_CONFIG_SIZE> all{};
    auto at = std::copy(image.blockA.begin(), image.blockA.end(), all.begin());
    at = std::copy(image.blockB.begin(), image.blockB.end(), at);
    at = std::copy(image.blockC.begin(), image.blockC.end(), at);
    std::copy(image.blockD.begin(), image.blockD.end(), at);
    return all;
}

ConfigImage ImageOf(const VirtualPrintServer& s) {
    ConfigImage image;
    image.Load(s.image.data(), s.image.size());
    return image;
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
    ConfigImage image = ImageOf(s);
    image.SetDhcpFlag(ConfigImage::DHCP_OFF);
    image.SetIpAddress(s.ip);
    image.SetGateway({127, 0, 0, 1});
    image.SetSubnetMask({255, 0, 0, 0});
    std::copy(s.mac.begin(), s.mac.end(), image.blockA.begin() + ConfigImage::MAC_OFFSET);
    image.SetPrintPort(9100);
    s.image = ImageBytes(image);
    return s;
}

Bytes SearchAnswer(const VirtualPrintServer& s) {
    Bytes r(36, 0);
    const std::uint8_t head[5] = {0x54, 0x56, 0x50, 0x53, 0x01};
    std::copy(head, head + 5, r.begin());
    std::copy(s.ip.begin(), s.ip.end(), r.begin() + 5);
    std::copy(s.mac.begin(), s.mac.end(), r.begin() + 9);
    r[15] = static_cast<std::uint8_t>(s.firmware & 0xFF);
    r[16] = static_cast<std::uint8_t>(s.firmware >> 8);
    std::copy_n(s.deviceName.begin(), std::min<std::size_t>(s.deviceName.size(), 17), r.begin() + 19);
    return r;
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

    // Decides what print server `s` answers to `frame` from `from`; called under the mutex.
    void Handle(Server& s, const Bytes& frame, const sockaddr_in& from) {
        auto& st = s.state;
        const auto due = Clock::now() + st.answerDelay;
        if (frame == BuildSearchFrame()) {
            s.frames.push_back(frame);
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
        if (!WellFormed(frame) || !std::equal(st.mac.begin(), st.mac.end(), frame.begin() + 3)) return;
        s.frames.push_back(frame);
        if (!st.answerCommands) return;
        const std::uint8_t command = frame[2];
        Bytes answer;
        if (command == PS_CMD_READ_CONFIG && frame.size() == HEADER + 1) {
            answer.assign(st.image.begin(), st.image.begin() + std::min(st.readAnswerSize, st.image.size()));
            answer.resize(st.readAnswerSize, 0);
        } else if (command == PS_CMD_WRITE_A && frame.size() == HEADER + BLOCK_A + 1) {
            std::copy_n(frame.begin() + HEADER, BLOCK_A, st.image.begin());
            answer = {0xFF, 0x01, command, 0x4B};
        } else if (command == PS_CMD_WRITE_B && frame.size() == HEADER + BLOCK_B + 1) {
            std::copy_n(frame.begin() + HEADER, BLOCK_B, st.image.begin() + BLOCK_B_AT);
            answer = {0xFF, 0x01, command, 0x4B};
        } else if (command == PS_CMD_APPLY && frame.size() == HEADER + 1) {
            const ConfigImage image = ImageOf(st);
            st.ip = image.DhcpEnabled() ? st.dhcpLease.value_or(Ipv4{0, 0, 0, 0}) : image.IpAddress();
            answer = {0xFF, 0x01, command, 0x4B};
        } else {
            return;
        }
        if (auto instead = st.answerInstead.find(command); instead != st.answerInstead.end()) answer = instead->second;
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

std::string PrintServerSim::StateJson() const {
    std::lock_guard lock(impl_->mutex);
    std::ostringstream out;
    out << "{\"port\":" << impl_->port << ",\"print_servers\":[";
    for (std::size_t i = 0; i < impl_->servers.size(); ++i) {
        const auto& s = *impl_->servers[i];
        const Bytes answer = SearchAnswer(s.state);
        const DiscoveryRecord record = *ParseDiscoveryDatagram(answer.data(), answer.size());
        out << (i ? "," : "") << "{\"mac\":\"" << record.MacText() << "\",\"ip\":\"" << record.IpText()
            << "\",\"firmware\":" << s.state.firmware << ",\"name\":" << JsonString(s.state.deviceName)
            << ",\"dhcp\":" << (ImageOf(s.state).DhcpEnabled() ? "true" : "false") << ",\"frames\":" << s.frames.size()
            << "}";
    }
    out << "]}";
    return out.str();
}

std::chrono::nanoseconds PrintServerSim::ThreadCpuTime() const {
    clockid_t clock;
    timespec t{};
    if (pthread_getcpuclockid(impl_->thread.native_handle(), &clock) != 0 || clock_gettime(clock, &t) != 0) return {};
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

} // namespace pemberlux::sim
