// Many networked printers at once, for fleet tools: printer k listens on its
// own loopback address 127.1.(k / 250).(k % 250 + 1) and a print port, and a
// print server in front of it answers the print-server search (UDP) with its
// MAC, that address, the model as its device name, and the print port in its
// settings. The models take turns (LB-610, LB-710, LB-600, TR-510, TR-520);
// with `faultEvery` K, every K-th printer (k % K == K - 1) misbehaves on its
// print port, in turn: silent, late (every answer `lateBy` late), dropping
// (closes the connection at the first byte). The search is answered by all.
#pragma once

#include "PrintServerSim.h"
#include "SimPrinter.h"
#include "Transports.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pemberlux::sim {

struct FleetOptions {
    int count = 0;
    // Print port of every printer; 0: a free port for each.
    std::uint16_t printPort = 9100;
    std::uint16_t searchPort = ps::kPort; // 0: a free UDP port
    int faultEvery = 0;                   // 0: none misbehaves
    std::chrono::milliseconds lateBy{3000};
    // The models that take turns; empty: LB-610, LB-710, LB-600, TR-510, TR-520.
    std::vector<std::string> models;
    Faults common; // on top, for every printer (e.g. an answer delay)
};

enum class FleetFault { None, Silent, Late, Drop };

class SimFleet {
public:
    explicit SimFleet(const FleetOptions& options);
    ~SimFleet();
    SimFleet(const SimFleet&) = delete;
    SimFleet& operator=(const SimFleet&) = delete;

    struct Member {
        std::string model;   // "LB-610", ...
        std::string address; // "127.1.0.1"
        std::uint16_t port = 0;
        std::string mac;     // "02:54:46:00:00:01"
        FleetFault fault = FleetFault::None;
        SimPrinter* printer = nullptr;
    };
    std::size_t Size() const { return members_.size(); }
    const Member& operator[](std::size_t k) const { return members_[k]; }
    std::uint16_t SearchPort() const { return searchPort_; }
    // Ends the transports (print ports and search answers); the printers and
    // their state stay.
    void Stop();

    // The address of printer k, and the fault it has under `options`.
    static std::string Address(int k);
    static FleetFault FaultOf(int k, int faultEvery);
    static const char* FaultName(FleetFault fault);

private:
    std::vector<std::unique_ptr<SimPrinter>> printers_;
    std::vector<std::unique_ptr<TcpServer>> tcp_;
    std::unique_ptr<PrintServerSim> servers_;
    std::vector<Member> members_;
    std::uint16_t searchPort_ = 0;
};

} // namespace pemberlux::sim
