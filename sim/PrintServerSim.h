// Virtual print servers on the loopback broadcast. Each print server has a UDP
// socket of its own, bound with SO_REUSEADDR to the broadcast address and the
// port, so every frame the program broadcasts reaches each of them as it
// reaches every device on a real network. They answer to the sender's address.
//
// Behaviour where the device leaves a choice open:
//  - bytes 0-4 of the search answer carry 54 56 50 53 01, bytes 17-18 are zero;
//    the device name is followed by 0x00 when shorter than 17 bytes;
//  - a write takes effect in the stored image at once (a read right after it
//    shows it) and is acknowledged; the address changes only with the apply;
//  - apply adopts block A: with the DHCP flag 0x00 the address becomes the DHCP
//    lease (0.0.0.0 when no lease is set: no DHCP server answered), otherwise
//    the IP address of block A;
//  - frames that PsWire.h does not decode (start byte, length, checksum, a known
//    command of its exact length, login) and addressed frames for another MAC
//    are recorded and ignored; so is anything from outside 127.0.0.0/8.
#pragma once

#include "PsWire.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pemberlux::sim {

using Bytes = std::vector<std::uint8_t>;
using Ipv4 = ps::Ipv4; // first octet first
using Mac = ps::Mac;

struct VirtualPrintServer {
    Mac mac{};
    Ipv4 ip{};
    std::uint16_t firmware = 0;
    std::string deviceName; // at most 17 bytes; 17 leaves no terminator
    ps::Image image{};      // configuration image, blocks A-D

    // Behaviour.
    int searchAnswers = 1;                       // 0: never answers the search; 2: answers twice
    std::chrono::milliseconds answerDelay{0};    // before every answer
    bool answerCommands = true;                  // false: read, write and apply are ignored
    std::size_t readAnswerSize = 256;            // bytes of the image a read answer carries
    std::map<std::uint8_t, Bytes> answerInstead; // command -> bytes sent instead of its answer
    std::vector<Bytes> noiseBeforeSearchAnswer;  // raw datagrams sent before the search answer
    std::chrono::milliseconds noiseGap{0};       // between that noise and the answer
    std::optional<Ipv4> dhcpLease;               // address an apply with DHCP on gets
};

// A plausible print server numbered `n` (0, 1, ...): MAC 02:50:53:00:xx:yy, address
// 127.0.1.(n+1) (shown to the program, which connects its print port), firmware
// 300 + n, name "PS-<n>", DHCP off, gateway 127.0.0.1, mask 255.0.0.0, print
// port 9100; the bytes the program does not interpret hold a fixed pattern.
VirtualPrintServer MakePrintServer(int n);

// The 36-byte search answer of `server` as it stands.
Bytes SearchAnswer(const VirtualPrintServer& server);

class PrintServerSim {
public:
    // `port` 0 picks a free port (Port() tells which). `address` must lie in 127.0.0.0/8.
    explicit PrintServerSim(std::uint16_t port = ps::kPort, const std::string& address = "127.255.255.255");
    ~PrintServerSim();
    PrintServerSim(const PrintServerSim&) = delete;
    PrintServerSim& operator=(const PrintServerSim&) = delete;

    std::uint16_t Port() const;

    // Adds a print server (answering from now on); returns its index.
    std::size_t Add(VirtualPrintServer server);
    std::size_t Count() const;
    VirtualPrintServer Server(std::size_t index) const;
    void Update(std::size_t index, const std::function<void(VirtualPrintServer&)>& change);

    // Every datagram sent to the port, in arrival order, whether or not a print
    // server took it as a frame for itself.
    std::vector<Bytes> Frames() const;
    bool WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) const;
    void ClearFrames();
    // Frames print server `index` took as its own (search, or addressed to its MAC).
    std::vector<Bytes> FramesFor(std::size_t index) const;
    // Datagrams sent to the port that are no frame a print server decodes.
    std::size_t Malformed() const;

    // {"port":1901,"print_servers":[{"mac":..,"ip":..,"firmware":..,"name":..,"frames":..}]}
    std::string StateJson() const;
    // CPU time the simulator's thread has used so far.
    std::chrono::nanoseconds ThreadCpuTime() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace pemberlux::sim
