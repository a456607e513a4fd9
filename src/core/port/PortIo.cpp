#include "core/port/PortIo.h"

#include "core/port/DeviceLock.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace pemberlux::portio {

using std::chrono::milliseconds;

void Fail(PortErrorCode code) {
    throw PortError{code};
}

void FailOpen(PortErrorCode code, const std::string& device, int error, bool usb) {
    throw PortError{code, OpenFailureOf(device, error, usb)};
}

int OpenDevice(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

namespace {

constexpr std::int64_t POLL_SLICE_MS = 100;

// WaitFor with the job's wake-up descriptor already registered.
Wait WaitOn(pollfd* fds, nfds_t count, Deadline deadline, const JobLimits& job, int wakeFd) {
    std::vector<pollfd> all(fds, fds + count);
    all.push_back({wakeFd, POLLIN, 0});
    const Clock::time_point until = deadline ? std::min(*deadline, job.deadline) : job.deadline;
    for (;;) {
        if (job.Stopped()) return Wait::Stopped;
        const auto now = Clock::now();
        if (now >= until) return job.Expired() ? Wait::Expired : Wait::TimedOut;
        // Waited out in short slices, each polling afresh: a driver may make
        // room without a wake-up (a pty whose buffers move on by themselves),
        // and a wait that only saw it at its bound would restart a stall bound
        // that had in fact run out.
        auto left = std::chrono::ceil<milliseconds>(until - now).count();
        int ms = static_cast<int>(std::min<decltype(left)>(left, POLL_SLICE_MS));
        for (pollfd& p : all)
            p.revents = 0;
        int r = ::poll(all.data(), all.size(), ms);
        if (job.Stopped()) return Wait::Stopped;
        if (r < 0 && errno == EINTR) continue;
        bool ready = false;
        for (nfds_t i = 0; i < count; ++i) {
            fds[i].revents = all[i].revents;
            ready = ready || all[i].revents;
        }
        // A poll error is left to the read or write that follows to report.
        if (ready || r < 0) return Wait::Ready;
    }
}

} // namespace

Wait WaitFor(pollfd* fds, nfds_t count, Deadline deadline, const JobLimits& job) {
    StopWake wake(job.stop);
    return WaitOn(fds, count, deadline, job, wake.Fd());
}

Wait WaitFor(int fd, short events, Deadline deadline, const JobLimits& job) {
    pollfd p{fd, events, 0};
    return WaitFor(&p, 1, deadline, job);
}

void FailWait(PortErrorCode code, Wait wait) {
    throw PortError{code, wait == Wait::Stopped   ? PortError::Stopped
                          : wait == Wait::Expired ? PortError::Expired
                                                  : PortError::Failed};
}

void Pause() {
    std::this_thread::sleep_for(milliseconds(10));
}

std::size_t WriteBlock(int fd, const std::uint8_t* data, std::size_t length, Deadline deadline, bool socket,
                       const JobLimits& job, Clock::time_point& progress) {
    if (fd < 0 || (!data && length > 0)) Fail(PortErrorCode::Write);
    std::size_t done = 0;
    bool waited = false;
    // A short write means the device is full: wait before the next, rather
    // than have it refused first (a large transfer meets this at every turn).
    bool full = false;
    // One wake-up registration for the whole block, not one per wait.
    std::optional<StopWake> wake;
    // A transfer's job bounds the time since the last progress instead.
    const bool byProgress = job.stall.count() > 0;
    Clock::time_point started = Clock::now();
    bool peerTalks = true;
    while (done < length) {
        if (job.Stopped()) FailWait(PortErrorCode::Write, Wait::Stopped);
        if (!full) {
            ssize_t n =
                socket ? ::send(fd, data + done, length - done, MSG_NOSIGNAL) : ::write(fd, data + done, length - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                waited = false;
                full = done < length;
                progress = started = Clock::now();
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) Fail(PortErrorCode::Write);
            // Ready but still refused: a driver without a real poll; don't spin on it.
            if (waited) Pause();
        }
        full = false;
        if (!wake) wake.emplace(job.stop);
        pollfd p{fd, static_cast<short>(socket && peerTalks ? POLLOUT | POLLIN : POLLOUT), 0};
        const JobLimits stalled{job.stop, std::min(job.deadline, started + job.stall)};
        Wait w =
            byProgress ? WaitOn(&p, 1, std::nullopt, stalled, wake->Fd()) : WaitOn(&p, 1, deadline, job, wake->Fd());
        if (w == Wait::TimedOut) break;
        if (w != Wait::Ready) FailWait(PortErrorCode::Write, w);
        // The peer talks while we write: its bytes are not what this write
        // waits for, and a full receive queue would reset the connection.
        // The end of its stream stays readable: no more reading after it.
        if (socket && (p.revents & POLLIN)) peerTalks = DropInput(fd);
        waited = !(p.revents & POLLIN) || (p.revents & POLLOUT);
    }
    return done;
}

bool DropInput(int fd) {
    std::uint8_t sink[4096];
    for (;;) {
        ssize_t n = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        return false;
    }
}

ReadResult ReadOnce(int fd, void* buffer, std::size_t count, bool socket) {
    if (fd < 0) Fail(PortErrorCode::Read);
    for (;;) {
        ssize_t n = socket ? ::recv(fd, buffer, count, 0) : ::read(fd, buffer, count);
        if (n > 0) return {ReadResult::Data, static_cast<std::size_t>(n)};
        if (n == 0) return {count == 0 ? ReadResult::Nothing : ReadResult::End, 0};
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {ReadResult::Nothing, 0};
        Fail(PortErrorCode::Read);
    }
}

int TextToInt(const std::string& text) {
    errno = 0;
    long v = std::strtol(text.c_str(), nullptr, 10);
    if (errno == ERANGE || v > INT_MAX || v < INT_MIN) return 0;
    return static_cast<int>(v);
}

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string DeviceNodeFor(const std::string& name, const char* prefix, const char* base) {
    std::string p = prefix;
    if (name.size() <= p.size()) return name;
    for (std::size_t i = 0; i < p.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != p[i]) return name;
    std::string digits = name.substr(p.size());
    if (!AllDigits(digits)) return name;
    int n = TextToInt(digits);
    if (n < 1) return name;
    return base + std::to_string(n - 1);
}

Clock::time_point DrainStart(const PrinterPort& port) {
    return port.progress == Clock::time_point{} ? Clock::now() : port.progress;
}

void HoldDevice(PrinterPort& port, const std::string& key, PortErrorCode code, const JobLimits& job) {
    if (!AcquireDevice(key, job)) throw PortError{code, job.Stopped() ? PortError::Stopped : PortError::Expired};
    port.devices.push_back(key);
}

} // namespace pemberlux::portio
