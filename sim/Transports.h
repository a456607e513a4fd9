// The ways a client reaches a virtual printer: TCP on 127.0.0.1, a pty used as
// serial or parallel port, and fake USB printers (a sysfs tree laid out like the
// kernel's usblp class, each node a pty). Each transport runs its own thread and
// hands every chunk it reads to the SimPrinter, then carries out the answers in
// order (delay, bytes, drop) before it reads on. The printer must outlive the
// transport; destroying a transport stops its thread at once, also in the middle
// of a delay or with a client connected. Construction errors throw
// std::system_error (or std::invalid_argument for bad USB ids).
#pragma once

#include "SimPrinter.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace pemberlux::sim {

// A UDP port nobody uses right now, for simulated network printers of their own.
std::uint16_t FreeUdpPort();

// Listens on <address>:<port> (0 picks a free port) from construction on; the
// address is "::1" or lies in 127.0.0.0/8 (Linux routes all of it to loopback,
// so any of them binds without configuration; std::invalid_argument
// otherwise). One client at a time, further clients wait in the backlog until
// the current one disconnects. Each accepted client is announced with
// SimPrinter::Connected(), whose greeting goes out before anything is read. A
// drop closes the client's connection, a reset aborts it (RST). A port in use,
// or a machine without that address, throws.
class TcpServer {
public:
    explicit TcpServer(SimPrinter& printer, std::uint16_t port = 0, const std::string& address = "127.0.0.1");
    ~TcpServer();
    std::uint16_t Port() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A pty pair in raw mode; the client opens Path() (the slave, e.g. /dev/pts/7)
// as its serial or parallel device and may set its own termios. The simulator
// holds the slave open too, so the line stays up when a client closes it, and
// answers nobody read wait in the line for the next client. A drop waits
// (up to a second) until the client has read what preceded it, then hangs the
// line up: the client's file reads end-of-file and fails writes, and the path
// can be opened again; a reset hangs it up at once. Hanging up needs CAP_SYS_ADMIN; without it a drop only
// ends the answer and Hangups() stays 0.
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
// to the client as PEMBERLUX_SYSFS_ROOT and PEMBERLUX_DEV_ROOT. Printer lpN
// sits on port N+1 of bus 1, as the kernel lays it out:
//   sys/class/usbmisc/lpN -> ../../devices/pci0000:00/0000:00:14.0/usb1/1-M/1-M:1.0/usbmisc/lpN
//   .../1-M/idVendor, idProduct         "3a7e\n" (M = N+1: the USB device)
//   .../1-M/1-M:1.0/usbmisc/lpN/device  -> ../../../1-M:1.0 (the interface)
//   .../usbmisc/lpN/uevent              MAJOR=180 MINOR=N DEVNAME=usb/lpN
//   dev/usb/lpN                         -> the slave of a PtyPort
// Each node is a PtyPort, with its behaviour. The destructor stops the ptys and
// removes the entries it made.
class FakeUsbTree {
public:
    explicit FakeUsbTree(std::filesystem::path root);
    ~FakeUsbTree();
    // Adds printer lpN (N = the lowest number free in the tree) with the given
    // ids (up to four hex digits, written as four lower-case digits as the
    // kernel does); returns the node path. Thread-safe.
    std::string AddPrinter(SimPrinter& printer, const std::string& vid, const std::string& pid);
    // Unplugs the printer whose node AddPrinter returned: its class entry, USB
    // device folder and node go, its pty is stopped. False for a node the tree
    // does not have. Thread-safe.
    bool RemovePrinter(const std::string& node);
    // Adds the serial line dev/<name>: a plain file, or a link to `node` (a
    // pty's slave) when given; with `uartType` its sys/class/tty/<name>/type
    // (the kernel's port type, 0 when no UART is behind a ttyS), with `byId` the
    // link dev/serial/by-id/<byId> to it. Stays until the tree goes.
    void AddSerialLine(const std::string& name, std::optional<int> uartType = std::nullopt,
                       const std::string& byId = {}, const std::string& node = {});
    std::filesystem::path SysfsRoot() const;
    std::filesystem::path DevRoot() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace pemberlux::sim
