// Virtual label printers on the key-value configuration protocol: each one binds the
// protocol port (SO_REUSEADDR, so any number share it and all of them get the
// loopback broadcasts) and answers search, query and set requests by broadcast.
//
// Behaviour where the protocol leaves it open:
// - a search is answered with all eleven keys;
// - a request is taken only when it is well formed (KvWire.h: known keys, every
//   value exactly its width, the end line last); others are counted as rejected;
// - a query is answered only when its MAC line equals the printer's MAC;
// - a set is applied when its MAC and SERIAL_NUM equal the printer's; DHCP, IP,
//   SUBNET_MASK, GATEWAY, PRNT_PORT and PRNT_RCV_TMO are taken (the identity keys are
//   not), and the printer acknowledges it with a reply of command 3 carrying its
//   new settings (the tool does not read it);
// - with DHCP on, IP_CUR is "----" for `dhcpDelay` after the start and after each set
//   that leaves DHCP on, then the DHCP address;
// - replies go to the loopback broadcast address: PEMBERLUX_BROADCAST_ADDR when it is
//   a 127.x address, else 127.255.255.255. Nothing ever leaves the machine.
#pragma once

#include "KvWire.h"
#include "SimPrinter.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pemberlux::sim {

struct KvPrinterConfig {
    std::string deviceName = "LB-610";
    std::string firmwareVersion = "V1.16.0";
    std::string serialNumber = "TVL610000001";
    std::string mac = "00A0D1000001";
    bool dhcp = false;
    std::string ip = "127.0.0.1";
    std::string subnetMask = "255.0.0.0";
    std::string gateway = "127.0.0.1";
    int printPort = 9100;
    int printTimeout = 30;
    std::string dhcpAddress = "127.0.0.1"; // what DHCP hands out
};

struct KvPrinterOptions {
    std::chrono::milliseconds replyDelay{0}; // answer late
    bool answerTwice = false;
    bool unknownKey = false;     // a line with a key the protocol does not have
    bool unpadded = false;       // values not padded to their widths: lines out of step
    bool noEndLine = false;      // replies without the end line
    bool answerAnyQuery = false; // answer queries for other MACs too (with its own MAC)
    bool silent = false;         // receive and record, answer nothing
    std::chrono::milliseconds dhcpDelay{1500};
};

class KvPrinterSim {
public:
    explicit KvPrinterSim(KvPrinterConfig config = {}, KvPrinterOptions options = {}, std::uint16_t port = kv::kPort);
    ~KvPrinterSim();
    KvPrinterSim(const KvPrinterSim&) = delete;
    KvPrinterSim& operator=(const KvPrinterSim&) = delete;

    // False when the port could not be bound.
    bool Listening() const;
    std::uint16_t Port() const;

    KvPrinterConfig Config() const;
    void SetOptions(const KvPrinterOptions& options);
    // IP_CUR as the printer would answer it now.
    std::string CurrentAddress() const;

    // Every request received (direction 0x00), one entry per datagram, in order.
    std::vector<Bytes> Requests() const;
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    std::size_t RepliesSent() const;
    // Requests (direction 0x00) that were not well formed, so not taken.
    std::size_t RejectedRequests() const;
    // Sets addressed to this printer, and the fields of the last one.
    int SetsApplied() const;
    kv::Fields LastSet() const;

    // The reply datagram the printer would send now for `command`.
    Bytes BuildReply(std::uint32_t command) const;

    std::string StateJson() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Printer number `index` (0, 1, ...): names, serial numbers and MACs differ by index.
KvPrinterConfig NumberedKvPrinter(int index);

// `count` numbered printers on one port.
class KvPrinterFleet {
public:
    explicit KvPrinterFleet(int count, std::uint16_t port = kv::kPort, KvPrinterOptions options = {});
    KvPrinterSim& operator[](std::size_t i) { return *printers_[i]; }
    const KvPrinterSim& operator[](std::size_t i) const { return *printers_[i]; }
    std::size_t Size() const { return printers_.size(); }
    bool Listening() const;

private:
    std::vector<std::unique_ptr<KvPrinterSim>> printers_;
};

} // namespace pemberlux::sim
