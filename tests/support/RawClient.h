// A client at the printer's end of a line, as tests use it to talk to the
// simulator directly: plain descriptors, a TCP connection, a raw serial line.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <termios.h>
#include <vector>

namespace pemberlux::test {

using RawBytes = std::vector<std::uint8_t>;

// Owns a descriptor and closes it.
class FdGuard {
public:
    explicit FdGuard(int fd = -1) : fd_(fd) {}
    ~FdGuard() { reset(); }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1);

private:
    int fd_;
};

// Connects to 127.0.0.1:<port>; -1 on failure.
int ConnectTcp(std::uint16_t port);

// Opens a serial or parallel device as the program does: raw line, 8 bits, no
// parity, read and write, never our controlling terminal. -1 on failure.
int OpenLine(const std::string& path, speed_t speed = B9600, tcflag_t extraCflags = 0);

// Writes every byte; false on a failed write.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size);
template <typename Container> bool WriteAll(int fd, const Container& bytes) {
    return WriteAll(fd, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// Reads until `count` bytes came or `timeout` passed; end-of-file or an error
// (a closed connection, a line that was hung up) sets `*ended`.
RawBytes ReadFor(int fd, std::size_t count, std::chrono::milliseconds timeout, bool* ended = nullptr);

} // namespace pemberlux::test
