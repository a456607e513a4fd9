#include "KvPrinterSim.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <sstream>
#include <thread>

namespace pemberlux::sim {

namespace {

using Clock = std::chrono::steady_clock;

// The simulator answers on loopback only, whatever the environment says.
std::string LoopbackBroadcastAddress() {
    const char* configured = std::getenv("PEMBERLUX_BROADCAST_ADDR");
    if (configured && std::strncmp(configured, "127.", 4) == 0) return configured;
    return "127.255.255.255";
}

std::string JsonText(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace

struct KvPrinterSim::Impl {
    mutable std::mutex mutex;
    mutable std::condition_variable requestsCv;
    KvPrinterConfig config;
    KvPrinterOptions options;
    Clock::time_point addressFrom; // with DHCP on, the address shows from then on
    std::vector<Bytes> requests;
    std::size_t repliesSent = 0;
    std::size_t rejected = 0;
    int setsApplied = 0;
    kv::Fields lastSet;

    struct Pending {
        Clock::time_point due;
        Bytes bytes;
    };
    std::deque<Pending> pending; // ordered by due time

    std::uint16_t port = kv::kPort;
    int fd = -1;
    int wake = -1; // written to stop the thread at once
    sockaddr_in destination{};
    std::atomic<bool> stop{false};
    std::thread thread;

    std::string CurrentAddressLocked() const {
        if (!config.dhcp) return config.ip;
        return Clock::now() >= addressFrom ? config.dhcpAddress : std::string("----");
    }

    Bytes BuildReplyLocked(std::uint32_t command) const {
        // One value per key, in the order of kv::kKeys.
        const std::string values[] = {
            config.deviceName,
            config.firmwareVersion,
            config.serialNumber,
            config.mac,
            CurrentAddressLocked(),
            config.dhcp ? "1" : "0",
            config.ip,
            config.subnetMask,
            config.gateway,
            std::to_string(config.printPort),
            std::to_string(config.printTimeout),
        };
        static_assert(std::size(values) == kv::kKeys.size());
        std::string lines;
        for (std::size_t i = 0; i < kv::kKeys.size(); ++i) {
            const kv::Key& key = kv::kKeys[i];
            if (options.unpadded) {
                lines.append(key.name).append(" = ").append(values[i]).append("\r\n");
            } else {
                lines += kv::Line(key.name, key.width, values[i]);
            }
            if (options.unknownKey && key.name == "MAC") lines += "LOCATION = shipping desk        \r\n";
        }
        return kv::Datagram(kv::kReply, command, lines, !options.noEndLine);
    }

    void QueueReplyLocked(std::uint32_t command) {
        if (options.silent) return;
        const Bytes reply = BuildReplyLocked(command);
        const Clock::time_point due = Clock::now() + options.replyDelay;
        const int copies = options.answerTwice ? 2 : 1;
        for (int i = 0; i < copies; ++i) {
            auto at = std::upper_bound(pending.begin(), pending.end(), due,
                                       [](Clock::time_point t, const Pending& p) { return t < p.due; });
            pending.insert(at, Pending{due, reply});
        }
    }

    void ApplySetLocked(const kv::Fields& fields) {
        const auto number = [](const std::string& text) { return std::atoi(text.c_str()); };
        if (auto v = kv::Find(fields, "DHCP")) config.dhcp = number(*v) == 1;
        if (auto v = kv::Find(fields, "IP")) config.ip = *v;
        if (auto v = kv::Find(fields, "SUBNET_MASK")) config.subnetMask = *v;
        if (auto v = kv::Find(fields, "GATEWAY")) config.gateway = *v;
        if (auto v = kv::Find(fields, "PRNT_PORT")) config.printPort = number(*v);
        if (auto v = kv::Find(fields, "PRNT_RCV_TMO")) config.printTimeout = number(*v);
        // The module restarts its address assignment.
        if (config.dhcp) addressFrom = Clock::now() + options.dhcpDelay;
        lastSet = fields;
        ++setsApplied;
    }

    void Handle(const std::uint8_t* data, std::size_t size) {
        // Replies of this and other printers share the port: only requests count.
        if (size < kv::kHeaderSize || !std::equal(kv::kMagic.begin(), kv::kMagic.end(), data) ||
            data[6] != kv::kRequest)
            return;
        std::lock_guard lock(mutex);
        requests.emplace_back(data, data + size);
        requestsCv.notify_all();
        const std::optional<kv::Message> request = kv::Parse(data, size);
        if (!request) {
            ++rejected;
            return;
        }
        const bool mine = kv::Find(request->fields, "MAC") == config.mac;
        if (request->command == kv::kSearch) {
            QueueReplyLocked(kv::kSearch);
        } else if (request->command == kv::kQuery) {
            if (mine || options.answerAnyQuery) QueueReplyLocked(kv::kQuery);
        } else if (request->command == kv::kSet) {
            if (!mine || kv::Find(request->fields, "SERIAL_NUM") != config.serialNumber) return;
            ApplySetLocked(request->fields);
            QueueReplyLocked(kv::kSet);
        }
    }

    void SendDue() {
        std::vector<Bytes> due;
        {
            std::lock_guard lock(mutex);
            const Clock::time_point now = Clock::now();
            while (!pending.empty() && pending.front().due <= now) {
                due.push_back(std::move(pending.front().bytes));
                pending.pop_front();
            }
        }
        for (const Bytes& reply : due) {
            const ssize_t sent = ::sendto(fd, reply.data(), reply.size(), 0,
                                          reinterpret_cast<const sockaddr*>(&destination), sizeof(destination));
            if (sent == static_cast<ssize_t>(reply.size())) {
                std::lock_guard lock(mutex);
                ++repliesSent;
            }
        }
    }

    int NextWaitMs() {
        std::lock_guard lock(mutex);
        if (pending.empty()) return 100;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(pending.front().due - Clock::now());
        return static_cast<int>(std::clamp<long long>(left.count(), 0, 100));
    }

    void Run() {
        std::uint8_t datagram[2048];
        while (!stop) {
            pollfd p[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
            if (::poll(p, 2, NextWaitMs()) > 0 && (p[0].revents & POLLIN)) {
                const ssize_t n = ::recv(fd, datagram, sizeof(datagram), MSG_DONTWAIT);
                if (n > 0) Handle(datagram, static_cast<std::size_t>(n));
            }
            SendDue();
        }
    }
};

KvPrinterSim::KvPrinterSim(KvPrinterConfig config, KvPrinterOptions options, std::uint16_t port)
    : impl_(std::make_unique<Impl>()) {
    impl_->config = std::move(config);
    impl_->options = options;
    impl_->port = port;
    impl_->addressFrom = Clock::now() + options.dhcpDelay;

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
        ::close(fd);
        return;
    }
    impl_->destination.sin_family = AF_INET;
    impl_->destination.sin_port = htons(port);
    if (::inet_pton(AF_INET, LoopbackBroadcastAddress().c_str(), &impl_->destination.sin_addr) != 1) {
        ::inet_pton(AF_INET, "127.255.255.255", &impl_->destination.sin_addr);
    }
    impl_->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    impl_->fd = fd;
    impl_->thread = std::thread([this] { impl_->Run(); });
}

KvPrinterSim::~KvPrinterSim() {
    impl_->stop = true;
    if (impl_->wake >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(impl_->wake, &one, sizeof(one));
    }
    if (impl_->thread.joinable()) impl_->thread.join();
    if (impl_->fd >= 0) ::close(impl_->fd);
    if (impl_->wake >= 0) ::close(impl_->wake);
}

bool KvPrinterSim::Listening() const {
    return impl_->fd >= 0;
}

std::uint16_t KvPrinterSim::Port() const {
    return impl_->port;
}

KvPrinterConfig KvPrinterSim::Config() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->config;
}

void KvPrinterSim::SetOptions(const KvPrinterOptions& options) {
    std::lock_guard lock(impl_->mutex);
    impl_->options = options;
}

std::string KvPrinterSim::CurrentAddress() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->CurrentAddressLocked();
}

std::vector<Bytes> KvPrinterSim::Requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requests;
}

bool KvPrinterSim::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->requestsCv.wait_for(lock, timeout, [&] { return impl_->requests.size() >= count; });
}

std::size_t KvPrinterSim::RepliesSent() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->repliesSent;
}

int KvPrinterSim::SetsApplied() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->setsApplied;
}

std::size_t KvPrinterSim::RejectedRequests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->rejected;
}

kv::Fields KvPrinterSim::LastSet() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->lastSet;
}

Bytes KvPrinterSim::BuildReply(std::uint32_t command) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->BuildReplyLocked(command);
}

std::string KvPrinterSim::StateJson() const {
    std::lock_guard lock(impl_->mutex);
    const KvPrinterConfig& c = impl_->config;
    std::ostringstream out;
    out << "{\"protocol\":\"key-value\",\"port\":" << impl_->port << ",\"device_name\":" << JsonText(c.deviceName)
        << ",\"firmware_version\":" << JsonText(c.firmwareVersion) << ",\"serial_number\":" << JsonText(c.serialNumber)
        << ",\"mac\":" << JsonText(c.mac) << ",\"ip_in_use\":" << JsonText(impl_->CurrentAddressLocked())
        << ",\"dhcp\":" << (c.dhcp ? "true" : "false") << ",\"ip\":" << JsonText(c.ip)
        << ",\"subnet_mask\":" << JsonText(c.subnetMask) << ",\"gateway\":" << JsonText(c.gateway)
        << ",\"print_port\":" << c.printPort << ",\"print_timeout\":" << c.printTimeout
        << ",\"requests\":" << impl_->requests.size() << ",\"rejected_requests\":" << impl_->rejected
        << ",\"replies\":" << impl_->repliesSent << ",\"sets\":" << impl_->setsApplied << "}";
    return out.str();
}

KvPrinterConfig NumberedKvPrinter(int index) {
    KvPrinterConfig config;
    char text[32];
    config.deviceName = index % 2 == 0 ? "LB-610" : "LB-710";
    std::snprintf(text, sizeof(text), "TVL%s%06d", index % 2 == 0 ? "610" : "710", index + 1);
    config.serialNumber = text;
    std::snprintf(text, sizeof(text), "00A0D1%06X", static_cast<unsigned>(index + 1) & 0xFFFFFFu);
    config.mac = text;
    return config;
}

KvPrinterFleet::KvPrinterFleet(int count, std::uint16_t port, KvPrinterOptions options) {
    for (int i = 0; i < count; ++i) {
        printers_.push_back(std::make_unique<KvPrinterSim>(NumberedKvPrinter(i), options, port));
    }
}

bool KvPrinterFleet::Listening() const {
    return std::all_of(printers_.begin(), printers_.end(), [](const auto& p) { return p->Listening(); });
}

} // namespace pemberlux::sim
