#include "Transports.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace pemberlux::sim {

namespace fs = std::filesystem;

std::uint16_t FreeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "socket");
    sockaddr_in local{};
    local.sin_family = AF_INET;
    socklen_t size = sizeof local;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&local), size) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) == 0;
    const int error = errno;
    ::close(fd);
    if (!ok) throw std::system_error(error, std::generic_category(), "bind");
    return ntohs(local.sin_port);
}

namespace {

[[noreturn]] void ThrowErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            Reset();
            fd_ = o.fd_;
            o.fd_ = -1;
        }
        return *this;
    }
    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void Reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

void SetNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) ThrowErrno("fcntl O_NONBLOCK");
}

// Wakes a serving thread out of poll() for a prompt stop.
class StopSignal {
public:
    StopSignal() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (!fd_) ThrowErrno("eventfd");
    }
    void Raise() {
        stopped_ = true;
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(fd_.Get(), &one, sizeof one);
    }
    bool Raised() const { return stopped_; }
    int Handle() const { return fd_.Get(); }

private:
    Fd fd_;
    std::atomic<bool> stopped_{false};
};

enum class WaitResult { Ready, Stopped, Timeout };

// Waits for `events` on fd (or just for the time-out when fd < 0).
// A negative timeout waits without bound.
WaitResult WaitFor(const StopSignal& stop, int fd, short events, int timeoutMs, short* revents = nullptr) {
    pollfd fds[2] = {{stop.Handle(), POLLIN, 0}, {fd, events, 0}};
    const nfds_t count = fd >= 0 ? 2 : 1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (stop.Raised()) return WaitResult::Stopped;
        int wait = timeoutMs;
        if (timeoutMs >= 0) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            wait = static_cast<int>(std::max<std::int64_t>(0, left.count()));
        }
        int n = ::poll(fds, count, wait);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowErrno("poll");
        }
        if (stop.Raised() || (fds[0].revents & POLLIN)) return WaitResult::Stopped;
        if (n == 0) return WaitResult::Timeout;
        if (count == 2 && fds[1].revents) {
            if (revents) *revents = fds[1].revents;
            return WaitResult::Ready;
        }
    }
}

enum class Outcome { Done, Dropped, Reset, Stopped, Failed };

// Writes all bytes to a non-blocking fd, waiting for room as needed.
Outcome WriteAll(const StopSignal& stop, int fd, const Bytes& bytes, bool socket) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = socket ? ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                           : ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            WaitResult w = WaitFor(stop, fd, POLLOUT, -1);
            if (w == WaitResult::Stopped) return Outcome::Stopped;
            continue;
        }
        return Outcome::Failed;
    }
    return Outcome::Done;
}

// Carries out the printer's answers in order: delay, bytes, then a drop if asked.
Outcome CarryOut(const StopSignal& stop, int fd, const std::vector<Answer>& answers, bool socket) {
    for (const Answer& a : answers) {
        if (a.delay.count() > 0 && WaitFor(stop, -1, 0, static_cast<int>(a.delay.count())) == WaitResult::Stopped)
            return Outcome::Stopped;
        if (!a.bytes.empty()) {
            Outcome o = WriteAll(stop, fd, a.bytes, socket);
            if (o != Outcome::Done) return o;
        }
        if (a.reset) return Outcome::Reset;
        if (a.drop) return Outcome::Dropped;
    }
    return Outcome::Done;
}

constexpr std::size_t kChunk = 4096;

} // namespace

// ---------------------------------------------------------------------------
// TCP

struct TcpServer::Impl {
    SimPrinter& printer;
    Fd listener;
    std::uint16_t port = 0;
    StopSignal stop;
    std::thread thread;

    explicit Impl(SimPrinter& p) : printer(p) {}

    void Run() {
        while (!stop.Raised()) {
            WaitResult w = WaitFor(stop, listener.Get(), POLLIN, -1);
            if (w == WaitResult::Stopped) return;
            Fd client(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (!client) {
                // A client that went away before the accept, or a full fd table:
                // back off a little rather than spin.
                if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) WaitFor(stop, -1, 0, 50);
                continue;
            }
            Outcome o = CarryOut(stop, client.Get(), printer.Connected(), true);
            if (o == Outcome::Done) o = Serve(client.Get());
            if (o == Outcome::Reset) {
                // Closed with a zero linger time, the connection is reset.
                const linger abort{1, 0};
                ::setsockopt(client.Get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            }
        }
    }

    Outcome Serve(int fd) {
        std::uint8_t buffer[kChunk];
        for (;;) {
            WaitResult w = WaitFor(stop, fd, POLLIN, -1);
            if (w == WaitResult::Stopped) return Outcome::Stopped;
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
            if (n <= 0) return Outcome::Done; // closed by the client, or reset
            std::vector<Answer> answers = printer.Receive(buffer, static_cast<std::size_t>(n));
            const Outcome o = CarryOut(stop, fd, answers, true);
            if (o != Outcome::Done) return o;
        }
    }
};

TcpServer::TcpServer(SimPrinter& printer, std::uint16_t port, const std::string& address)
    : impl_(std::make_unique<Impl>(printer)) {
    sockaddr_in a4{};
    a4.sin_family = AF_INET;
    a4.sin_port = htons(port);
    sockaddr_in6 a6{};
    a6.sin6_family = AF_INET6;
    a6.sin6_port = htons(port);
    const bool v6 = ::inet_pton(AF_INET6, address.c_str(), &a6.sin6_addr) == 1;
    if (v6 ? !IN6_IS_ADDR_LOOPBACK(&a6.sin6_addr)
           : ::inet_pton(AF_INET, address.c_str(), &a4.sin_addr) != 1 || (ntohl(a4.sin_addr.s_addr) >> 24) != 127)
        throw std::invalid_argument("a simulated printer listens on 127.0.0.0/8 or ::1 only, not " + address);
    impl_->listener.Reset(::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!impl_->listener) ThrowErrno("socket");
    int one = 1;
    ::setsockopt(impl_->listener.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr* addr = v6 ? reinterpret_cast<sockaddr*>(&a6) : reinterpret_cast<sockaddr*>(&a4);
    socklen_t len = v6 ? sizeof a6 : sizeof a4;
    if (::bind(impl_->listener.Get(), addr, len) < 0)
        ThrowErrno("bind " + (v6 ? "[" + address + "]" : address) + ":" + std::to_string(port));
    if (::listen(impl_->listener.Get(), 16) < 0) ThrowErrno("listen");
    if (::getsockname(impl_->listener.Get(), addr, &len) < 0) ThrowErrno("getsockname");
    impl_->port = ntohs(v6 ? a6.sin6_port : a4.sin_port);
    impl_->thread = std::thread([this] { impl_->Run(); });
}

TcpServer::~TcpServer() {
    impl_->stop.Raise();
    impl_->thread.join();
}

std::uint16_t TcpServer::Port() const {
    return impl_->port;
}

// ---------------------------------------------------------------------------
// pty

struct PtyPort::Impl {
    SimPrinter& printer;
    Fd master;
    // Held open so the line does not hang up whenever the client closes it.
    Fd keeper;
    std::string path;
    StopSignal stop;
    std::thread thread;
    std::atomic<std::size_t> hangups{0};

    explicit Impl(SimPrinter& p) : printer(p) {}

    void OpenKeeper() {
        keeper.Reset(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
        if (!keeper) ThrowErrno("open " + path);
    }

    // Waits until the client has read what is in the line (bounded), so that a
    // drop, as on TCP, comes after the bytes that preceded it. The pty hands
    // written bytes on asynchronously, hence an empty queue must stay empty.
    void WaitUntilRead() {
        int emptyChecks = 0;
        for (int i = 0; i < 100 && emptyChecks < 3; ++i) {
            int pending = 0;
            if (::ioctl(keeper.Get(), TIOCINQ, &pending) < 0) return;
            emptyChecks = pending == 0 ? emptyChecks + 1 : 0;
            if (WaitFor(stop, -1, 0, 10) == WaitResult::Stopped) return;
        }
    }

    // Hangs up the line: every open file of the slave reads end-of-file and
    // fails writes; the path can be opened anew. A drop first lets the client
    // read what is in the line, a reset (`atOnce`) does not. Needs
    // CAP_SYS_ADMIN; without it the line stays up and the drop only ends the answer.
    void Hangup(bool atOnce) {
        if (!atOnce) WaitUntilRead();
        // What the client wrote sits in our side of the line: its writes are
        // done with it, as a USB transfer is done once the printer took it.
        // The printer takes it, unanswered, before and after the line goes down.
        TakePending();
        if (::ioctl(keeper.Get(), TIOCVHANGUP) == 0) {
            ++hangups;
            TakePending();
            Reopen(); // else Run() tries again when the line reads nothing
        }
    }

    // After a hang-up: our own open file of the line again, and the line raw
    // again, since the hang-up gave it the terminal's cooked defaults and a
    // client that sets none of its own (a USB node) must get it raw. What the
    // printer wrote before the hang-up goes with it, as a printer that left the
    // bus takes its unsent answer along: the pty would hand it on to the next
    // client, later, from its buffers. False while the line cannot be opened yet.
    bool Reopen() {
        try {
            OpenKeeper();
            MakeRaw();
            ::tcflush(keeper.Get(), TCIFLUSH);
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }

    // Through our own open file of the line when there is one: after a
    // hang-up the master may refuse it.
    void MakeRaw() {
        const int fd = keeper ? keeper.Get() : master.Get();
        termios tio{};
        if (::tcgetattr(fd, &tio) < 0) ThrowErrno("tcgetattr");
        ::cfmakeraw(&tio);
        if (::tcsetattr(fd, TCSANOW, &tio) < 0) ThrowErrno("tcsetattr");
    }

    void TakePending() {
        std::uint8_t buffer[kChunk];
        ssize_t n;
        while ((n = ::read(master.Get(), buffer, sizeof buffer)) > 0)
            printer.ReceiveUnanswered(buffer, static_cast<std::size_t>(n));
    }

    void Run() {
        std::uint8_t buffer[kChunk];
        while (!stop.Raised()) {
            short revents = 0;
            WaitResult w = WaitFor(stop, master.Get(), POLLIN, -1, &revents);
            if (w == WaitResult::Stopped) return;
            ssize_t n = ::read(master.Get(), buffer, sizeof buffer);
            if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
            if (n <= 0) {
                // No slave open (EIO / hang-up): reopen ours, and pause so a
                // line that stays down does not spin.
                Reopen();
                WaitFor(stop, -1, 0, 20);
                continue;
            }
            std::vector<Answer> answers = printer.Receive(buffer, static_cast<std::size_t>(n));
            Outcome o = CarryOut(stop, master.Get(), answers, false);
            if (o == Outcome::Stopped) return;
            if (o == Outcome::Dropped || o == Outcome::Reset) Hangup(o == Outcome::Reset);
        }
    }
};

PtyPort::PtyPort(SimPrinter& printer) : impl_(std::make_unique<Impl>(printer)) {
    impl_->master.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!impl_->master) ThrowErrno("posix_openpt");
    if (::grantpt(impl_->master.Get()) < 0) ThrowErrno("grantpt");
    if (::unlockpt(impl_->master.Get()) < 0) ThrowErrno("unlockpt");
    char name[128];
    if (::ptsname_r(impl_->master.Get(), name, sizeof name) != 0) ThrowErrno("ptsname_r");
    impl_->path = name;
    // Raw line: bytes pass as they are, no echo, no line editing. Set through the
    // master, it applies to the slave until the client sets its own termios.
    impl_->MakeRaw();
    SetNonBlocking(impl_->master.Get());
    impl_->OpenKeeper();
    impl_->thread = std::thread([this] { impl_->Run(); });
}

PtyPort::~PtyPort() {
    impl_->stop.Raise();
    impl_->thread.join();
}

const std::string& PtyPort::Path() const {
    return impl_->path;
}

std::size_t PtyPort::Hangups() const {
    return impl_->hangups;
}

// ---------------------------------------------------------------------------
// fake USB printers

namespace {

std::string LowerHex4(const std::string& id) {
    if (id.empty() || id.size() > 4 ||
        !std::all_of(id.begin(), id.end(), [](unsigned char c) { return std::isxdigit(c); }))
        throw std::invalid_argument("USB id must be 1 to 4 hex digits: " + id);
    std::string out(4 - id.size(), '0');
    for (char c : id)
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

} // namespace

struct FakeUsbTree::Impl {
    fs::path root;
    struct Device {
        unsigned index;
        fs::path classLink;
        fs::path deviceDir;
        fs::path node;
        std::unique_ptr<PtyPort> pty;
    };
    std::mutex mutex;
    std::vector<Device> devices;

    fs::path Sys() const { return root / "sys"; }
    fs::path Dev() const { return root / "dev"; }
    fs::path Bus() const { return Sys() / "devices" / "pci0000:00" / "0000:00:14.0" / "usb1"; }

    bool Taken(unsigned n) const {
        std::error_code ec;
        const std::string lp = "lp" + std::to_string(n);
        return fs::symlink_status(Sys() / "class" / "usbmisc" / lp, ec).type() != fs::file_type::not_found ||
               fs::symlink_status(Dev() / "usb" / lp, ec).type() != fs::file_type::not_found ||
               fs::symlink_status(Bus() / ("1-" + std::to_string(n + 1)), ec).type() != fs::file_type::not_found;
    }

    static void Remove(const Device& d) {
        std::error_code ec;
        fs::remove(d.classLink, ec);
        fs::remove(d.node, ec);
        fs::remove_all(d.deviceDir, ec);
    }
};

FakeUsbTree::FakeUsbTree(fs::path root) : impl_(std::make_unique<Impl>()) {
    impl_->root = fs::absolute(root);
    fs::create_directories(impl_->Sys() / "class" / "usbmisc");
    fs::create_directories(impl_->Bus());
    fs::create_directories(impl_->Dev() / "usb");
}

FakeUsbTree::~FakeUsbTree() {
    std::lock_guard lock(impl_->mutex);
    for (Impl::Device& d : impl_->devices) {
        d.pty.reset();
        Impl::Remove(d);
    }
}

std::string FakeUsbTree::AddPrinter(SimPrinter& printer, const std::string& vid, const std::string& pid) {
    const std::string vendor = LowerHex4(vid), product = LowerHex4(pid);
    std::lock_guard lock(impl_->mutex);
    unsigned n = 0;
    while (impl_->Taken(n))
        ++n;

    Impl::Device d;
    d.index = n;
    const std::string lp = "lp" + std::to_string(n);
    // The kernel numbers hub ports from 1: printer lpN sits on port N+1.
    const std::string usbDev = "1-" + std::to_string(n + 1);
    const std::string iface = usbDev + ":1.0";
    d.deviceDir = impl_->Bus() / usbDev;
    d.classLink = impl_->Sys() / "class" / "usbmisc" / lp;
    d.node = impl_->Dev() / "usb" / lp;
    try {
        const fs::path ifaceDir = d.deviceDir / iface;
        const fs::path lpDir = ifaceDir / "usbmisc" / lp;
        fs::create_directories(lpDir);
        WriteText(d.deviceDir / "idVendor", vendor + "\n");
        WriteText(d.deviceDir / "idProduct", product + "\n");
        WriteText(d.deviceDir / "manufacturer", "Tavrel\n");
        WriteText(d.deviceDir / "product", "Printer\n");
        WriteText(d.deviceDir / "busnum", "1\n");
        WriteText(d.deviceDir / "devnum", std::to_string(n + 2) + "\n");
        WriteText(ifaceDir / "bInterfaceClass", "07\n");
        WriteText(ifaceDir / "bInterfaceSubClass", "01\n");
        WriteText(ifaceDir / "bInterfaceProtocol", "02\n");
        WriteText(lpDir / "uevent", "MAJOR=180\nMINOR=" + std::to_string(n) + "\nDEVNAME=usb/" + lp + "\n");
        WriteText(lpDir / "dev", "180:" + std::to_string(n) + "\n");
        // Relative links, as sysfs has them, so they resolve under any root.
        fs::create_directory_symlink("../../../" + iface, lpDir / "device");
        fs::create_directory_symlink("../../../../../../../../class/usbmisc", lpDir / "subsystem");
        fs::create_directory_symlink(
            "../../devices/pci0000:00/0000:00:14.0/usb1/" + usbDev + "/" + iface + "/usbmisc/" + lp, d.classLink);
        d.pty = std::make_unique<PtyPort>(printer);
        fs::create_symlink(d.pty->Path(), d.node);
    } catch (...) {
        d.pty.reset();
        Impl::Remove(d);
        throw;
    }
    std::string node = d.node.string();
    impl_->devices.push_back(std::move(d));
    return node;
}

bool FakeUsbTree::RemovePrinter(const std::string& node) {
    std::lock_guard lock(impl_->mutex);
    auto& devices = impl_->devices;
    const auto it = std::find_if(devices.begin(), devices.end(), [&](const Impl::Device& d) { return d.node == node; });
    if (it == devices.end()) return false;
    // The class entry first, as the kernel takes a device away.
    Impl::Remove(*it);
    it->pty.reset();
    devices.erase(it);
    return true;
}

void FakeUsbTree::AddSerialLine(const std::string& name, std::optional<int> uartType, const std::string& byId,
                                const std::string& node) {
    const fs::path dev = impl_->Dev();
    if (node.empty())
        std::ofstream(dev / name).put('\n');
    else
        fs::create_symlink(node, dev / name);
    if (uartType) {
        fs::create_directories(impl_->Sys() / "class/tty" / name);
        std::ofstream(impl_->Sys() / "class/tty" / name / "type") << *uartType << '\n';
    }
    if (!byId.empty()) {
        fs::create_directories(dev / "serial/by-id");
        fs::create_symlink("../../" + name, dev / "serial/by-id" / byId);
    }
}

fs::path FakeUsbTree::SysfsRoot() const {
    return impl_->Sys();
}

fs::path FakeUsbTree::DevRoot() const {
    return impl_->Dev();
}

} // namespace pemberlux::sim
