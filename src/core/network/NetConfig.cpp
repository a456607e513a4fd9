#include "core/network/NetConfig.h"

#include "core/port/SetupFrame.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace pemberlux {

// ---- Addresses --------------------------------------------------------------

std::optional<Ipv4Octets> ParseDottedIp(std::string_view text) {
    Ipv4Octets address{};
    std::size_t field = 0;
    int value = 0;
    int digits = 0;
    for (char c : text) {
        if (c == '.') {
            if (++field >= address.size()) return std::nullopt;
            value = 0;
            digits = 0;
            continue;
        }
        if (!std::isdigit(static_cast<unsigned char>(c)) || ++digits > 3) return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 255) return std::nullopt;
        address[field] = static_cast<std::uint8_t>(value);
    }
    return address;
}

std::string FormatIp(const Ipv4Octets& a) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    return text;
}

bool IsZeroIp(const Ipv4Octets& a) {
    return a == Ipv4Octets{};
}

bool IsReachableAddress(std::string_view text) {
    // All four fields must be there: a blank one is no address to connect to.
    if (std::count(text.begin(), text.end(), '.') != 3) return false;
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t end = std::min(text.find('.', start), text.size());
        if (end == start) return false;
        start = end + 1;
    }
    const std::optional<Ipv4Octets> address = ParseDottedIp(text);
    return address && !IsZeroIp(*address);
}

bool IsUsablePort(int port) {
    return port > 0 && port <= 65535;
}

// ---- Network settings over USB ----------------------------------------------

Bytes BuildNetSettingsUsbFrame(const NetUsbSettings& s) {
    Bytes item{0x1B, 0x3B, 0x01};
    item.insert(item.end(), s.ip.begin(), s.ip.end());
    item.insert(item.end(), s.gateway.begin(), s.gateway.end());
    item.insert(item.end(), s.mask.begin(), s.mask.end());
    item.push_back(s.dhcp == 1 ? 1 : 0);
    return WrapSetupItems(item);
}

ExchangeResult SendNetSettingsOverUsb(const NetUsbSettings& values, PortSettings settings, const UsbSelection& usb,
                                      const JobLimits& job) {
    settings.portKind = PORT_USB;
    PrinterPort port(settings, usb);
    const Bytes frame = BuildNetSettingsUsbFrame(values);
    return SendFrame(port, frame, job);
}

// ---- Key-value configuration ------------------------------------------------

namespace {

// The value of a dotted-decimal key; "----" and other text read as 0.0.0.0.
Ipv4Octets AddressValue(std::string_view value) {
    return ParseDottedIp(value).value_or(Ipv4Octets{});
}

constexpr std::size_t kMaxTextBytes = 63;
constexpr long kMaxNumber = 65535;

} // namespace

KvConfigValues ReadKvConfig(const ConfigFieldTable& fields) {
    KvConfigValues v;
    const std::size_t count = FieldCount(fields);
    for (std::size_t i = 0; i < count; ++i) {
        const ConfigField& f = fields[i];
        const std::string_view value = f.Value();
        if (f.key == KV_KEY_DEV.name) {
            v.deviceName = value;
        } else if (f.key == KV_KEY_VER.name) {
            v.firmwareVersion = value;
        } else if (f.key == KV_KEY_SERIAL_NUM.name) {
            v.serialNumber = value;
        } else if (f.key == KV_KEY_MAC.name) {
            v.mac = value;
        } else if (f.key == KV_KEY_IP_CUR.name) {
            v.currentIp = AddressValue(value);
            v.hasCurrentIp = true;
        } else if (f.key == KV_KEY_DHCP.name) {
            v.dhcp = KvFieldInt(value);
        } else if (f.key == KV_KEY_IP.name) {
            v.ip = AddressValue(value);
            v.hasIp = true;
        } else if (f.key == KV_KEY_SUBNET_MASK.name) {
            v.mask = AddressValue(value);
            v.hasMask = true;
        } else if (f.key == KV_KEY_GATEWAY.name) {
            v.gateway = AddressValue(value);
            v.hasGateway = true;
        } else if (f.key == KV_KEY_PRNT_PORT.name) {
            v.printPort = value;
        } else if (f.key == KV_KEY_PRNT_RCV_TMO.name) {
            v.printTimeout = value;
        }
    }
    return v;
}

bool IsReplyOf(const ConfigFieldTable& fields, std::string_view mac) {
    const ConfigField* field = FindField(fields, KV_KEY_MAC.name);
    return !mac.empty() && field && field->Value() == mac;
}

void FillOutgoingFields(const KvSetValues& v, ConfigFieldTable& fields) {
    ClearFields(fields);
    std::size_t next = 0;
    const auto add = [&](const KvKey& key, std::string value) {
        if (value.size() > kMaxTextBytes) return;
        value.resize(std::max<std::size_t>(value.size(), key.width), ' ');
        if (SetField(fields, next, key.name, value)) ++next;
    };
    const auto addNumber = [&](const KvKey& key, long number) {
        if (number > kMaxNumber) return;
        add(key, std::to_string(number));
    };
    add(KV_KEY_DEV, v.deviceName);
    add(KV_KEY_VER, v.firmwareVersion);
    add(KV_KEY_SERIAL_NUM, v.serialNumber);
    add(KV_KEY_MAC, v.mac);
    add(KV_KEY_IP_CUR, FormatIp(v.currentIp));
    addNumber(KV_KEY_DHCP, v.dhcp);
    add(KV_KEY_IP, FormatIp(v.ip));
    add(KV_KEY_SUBNET_MASK, FormatIp(v.mask));
    add(KV_KEY_GATEWAY, FormatIp(v.gateway));
    addNumber(KV_KEY_PRNT_PORT, v.printPort);
    addNumber(KV_KEY_PRNT_RCV_TMO, v.printTimeout);
    // SetField has written the end marker after the last entry, when there is room.
}

} // namespace pemberlux
