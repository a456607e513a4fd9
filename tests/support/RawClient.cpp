#include "RawClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pemberlux::test {

void FdGuard::reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
}

int ConnectTcp(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int OpenLine(const std::string& path, speed_t speed, tcflag_t extraCflags) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tio.c_cflag |= extraCflags;
    cfsetspeed(&tio, speed);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

RawBytes ReadFor(int fd, std::size_t count, std::chrono::milliseconds timeout, bool* ended) {
    using Clock = std::chrono::steady_clock;
    RawBytes out;
    const auto deadline = Clock::now() + timeout;
    if (ended) *ended = false;
    while (out.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
        std::uint8_t buf[1024];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) {
            if (ended) *ended = true;
            break;
        }
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

} // namespace pemberlux::test
