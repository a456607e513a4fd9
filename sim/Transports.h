// The ways a client reaches a virtual printer: TCP on 127.0.0.1, a pty used as
// serial or parallel port, and fake USB printers (a sysfs tree laid out like the
// kernel's usblp class, each node a pty). Each transport runs its own thread and
// hands every chunk it reads to the SimPrinter, then carries out the answers.
#pragma once

#include "SimPrinter.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace pemberlux::sim {

// Listens on 127.0.0.1:<port> (0 picks a free port); one client at a time,
// further clients are served after the current one disconnects.
class TcpServer {
public:
    TcpServer(SimPrinter& printer, std::uint16_t port = 0);
    ~TcpServer();
    std::uint16_t Port() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A pty pair; the client opens Path() (the slave, e.g. /dev/pts/7) as its
// serial or parallel device. The pty stays usable after a client closes it.
class PtyPort {
public:
    explicit PtyPort(SimPrinter& printer);
    ~PtyPort();
    const std::string& Path() const;
    // How often the line was hung up because the printer dropped the client.
    std::size_t Hangups() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A fake sysfs + dev tree under `root`: <root>/sys and <root>/dev, to be given
// to the client as PEMBERLUX_SYSFS_ROOT and PEMBERLUX_DEV_ROOT.
class FakeUsbTree {
public:
    explicit FakeUsbTree(std::filesystem::path root);
    ~FakeUsbTree();
    // Adds printer lpN (N = 0, 1, ...) with the given ids (four hex digits,
    // written lower-case as the kernel does); returns the node path.
    std::string AddPrinter(SimPrinter& printer, const std::string& vid, const std::string& pid);
    std::filesystem::path SysfsRoot() const;
    std::filesystem::path DevRoot() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace pemberlux::sim
