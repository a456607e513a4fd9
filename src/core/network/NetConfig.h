// What the network dialogs hand to and take from the printers, without the
// dialogs: addresses as the address controls show them, the network settings
// frame sent over USB, the key-value configuration a query reply carries and
// the fields of a set.
#pragma once

#include "core/base/PortSettings.h"
#include "core/network/KvProtocol.h"
#include "core/network/PrintServerChannel.h"
#include "core/port/Exchange.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pemberlux {

// ---- Addresses --------------------------------------------------------------

// Dotted decimal as an address control takes it: up to four fields of 0-255
// separated by dots, a blank field being 0 ("" is 0.0.0.0, "10..1" 10.0.1.0).
// nullopt for anything else (other characters, a fifth field, a field above 255).
std::optional<Ipv4Octets> ParseDottedIp(std::string_view text);
// "%d.%d.%d.%d".
std::string FormatIp(const Ipv4Octets& address);
bool IsZeroIp(const Ipv4Octets& address);

// Whether `text` is an address a printer can be reached at: four dotted fields
// of 0-255, not 0.0.0.0 ("----", "" and "0.0.0.0" are not).
bool IsReachableAddress(std::string_view text);
// Whether `port` is a TCP port a printer can listen on (1-65535).
bool IsUsablePort(int port);

// ---- Network settings over USB ----------------------------------------------

constexpr std::size_t NET_USB_FRAME_SIZE = 22;

struct NetUsbSettings {
    Ipv4Octets ip{};
    Ipv4Octets gateway{};
    Ipv4Octets mask{};
    int dhcp = 0; // list index: 0 disabled, 1 enabled; anything else goes as 0
};

// SETUP_BEGIN, 1B 3B 01, the address, gateway and mask first octet first, the
// DHCP byte, SETUP_END.
Bytes BuildNetSettingsUsbFrame(const NetUsbSettings& settings);

// Writes the frame to the USB printers of `usb`, whatever interface `settings`
// selects (the rest of the record is kept). Done when it was written.
ExchangeResult SendNetSettingsOverUsb(const NetUsbSettings& values, PortSettings settings, const UsbSelection& usb,
                                      const JobLimits& job);

// ---- Key-value configuration ------------------------------------------------

// One printer's configuration as its query reply gave it. The texts are the
// printer's bytes (its code page), so a set sends back exactly what came.
struct KvConfigValues {
    std::string deviceName;
    std::string firmwareVersion;
    std::string serialNumber;
    std::string mac;
    // Addresses that are no dotted decimal ("----") read as 0.0.0.0; the flags
    // tell which keys the reply had.
    Ipv4Octets currentIp{};
    Ipv4Octets ip{};
    Ipv4Octets mask{};
    Ipv4Octets gateway{};
    bool hasCurrentIp = false, hasIp = false, hasMask = false, hasGateway = false;
    int dhcp = -1;            // -1 when the reply had no "DHCP"
    std::string printPort;    // "PRNT_PORT" as sent ("9100")
    std::string printTimeout; // "PRNT_RCV_TMO" as sent
};

// The values of a reply, entry by entry up to the end marker (at most twelve).
KvConfigValues ReadKvConfig(const ConfigFieldTable& fields);
// Whether `fields` hold the reply of the printer with this MAC (its "MAC" equals it).
bool IsReplyOf(const ConfigFieldTable& fields, std::string_view mac);

// What the configuration dialog sends in a set.
struct KvSetValues {
    std::string deviceName; // bytes as the printer sent them
    std::string firmwareVersion;
    std::string serialNumber;
    std::string mac;
    Ipv4Octets currentIp{};
    int dhcp = 0;
    Ipv4Octets ip{};
    Ipv4Octets mask{};
    Ipv4Octets gateway{};
    int printPort = 0;
    int printTimeout = 0;
};

// Clears `fields` and fills the eleven keys in the set's order, each value
// padded with spaces to its key's width, then the end marker. A value that
// cannot be sent (a text over 63 bytes, a number above 65535) is left out and
// the next one takes its place.
void FillOutgoingFields(const KvSetValues& values, ConfigFieldTable& fields);

} // namespace pemberlux
