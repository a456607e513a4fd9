#include "PsWire.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace pemberlux::sim::ps {

namespace {

const FieldLayout& LayoutOf(Field field) {
    for (const FieldLayout& layout : kFields)
        if (layout.field == field) return layout;
    std::abort();
}

std::optional<Frame> Reject(std::string* why, const char* reason) {
    if (why) *why = reason;
    return std::nullopt;
}

} // namespace

const CommandLayout* FindCommand(std::uint8_t code) {
    for (const CommandLayout& layout : kCommands)
        if (layout.code == code) return &layout;
    return nullptr;
}

std::uint8_t Checksum(std::span<const std::uint8_t> frameWithoutChecksum) {
    unsigned sum = 0;
    for (std::size_t i = 1; i < frameWithoutChecksum.size(); ++i)
        sum += frameWithoutChecksum[i];
    return static_cast<std::uint8_t>(sum);
}

Bytes EncodeFrame(std::uint8_t command, std::span<const std::uint8_t> payload) {
    Bytes frame{kStart, static_cast<std::uint8_t>(payload.size() + 1), command};
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(Checksum(frame));
    return frame;
}

Bytes EncodeAddressed(std::uint8_t command, const Mac& mac, std::span<const std::uint8_t> data) {
    Bytes payload(mac.begin(), mac.end());
    payload.insert(payload.end(), kLogin.begin(), kLogin.end());
    payload.insert(payload.end(), kLogin.begin(), kLogin.end());
    payload.insert(payload.end(), data.begin(), data.end());
    return EncodeFrame(command, payload);
}

Bytes Ack(std::uint8_t command) {
    return {kStart, 0x01, command, 0x4B};
}

std::optional<Frame> DecodeFrame(std::span<const std::uint8_t> f, std::string* why) {
    if (f.size() < 4 || f[0] != kStart) return Reject(why, "no start byte");
    if (f[1] != f.size() - 3) return Reject(why, "length byte does not match");
    if (Checksum(f.first(f.size() - 1)) != f.back()) return Reject(why, "checksum");
    const CommandLayout* layout = FindCommand(f[2]);
    if (!layout) return Reject(why, "unknown command");
    const std::size_t header = layout->addressed ? kAddressedHeader : 3;
    if (f.size() != header + layout->dataSize + 1) return Reject(why, "wrong length for the command");
    Frame frame;
    frame.command = f[2];
    if (layout->addressed) {
        std::copy_n(f.begin() + 3, 6, frame.mac.begin());
        if (!std::equal(kLogin.begin(), kLogin.end(), f.begin() + 9) ||
            !std::equal(kLogin.begin(), kLogin.end(), f.begin() + 15))
            return Reject(why, "login");
    }
    frame.data.assign(f.begin() + static_cast<std::ptrdiff_t>(header), f.end() - 1);
    return frame;
}

Bytes SearchAnswer(const Ipv4& ip, const Mac& mac, std::uint16_t firmware, std::string_view name) {
    Bytes r{0x54, 0x56, 0x50, 0x53, 0x01};
    r.insert(r.end(), ip.begin(), ip.end());
    r.insert(r.end(), mac.begin(), mac.end());
    r.push_back(static_cast<std::uint8_t>(firmware & 0xFF));
    r.push_back(static_cast<std::uint8_t>(firmware >> 8));
    r.push_back(0);
    r.push_back(0);
    r.insert(r.end(), name.begin(), name.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(name.size(), 17)));
    r.resize(kAnswerSize, 0);
    return r;
}

void Put(Image& image, Field field, std::span<const std::uint8_t> value) {
    const FieldLayout& layout = LayoutOf(field);
    for (std::size_t i = 0; i < layout.size && i < value.size(); ++i)
        image[layout.offset + (layout.reversed ? layout.size - 1 - i : i)] = value[i];
}

Bytes Get(const Image& image, Field field) {
    const FieldLayout& layout = LayoutOf(field);
    Bytes value(layout.size);
    for (std::size_t i = 0; i < layout.size; ++i)
        value[i] = image[layout.offset + (layout.reversed ? layout.size - 1 - i : i)];
    return value;
}

Ipv4 GetAddress(const Image& image, Field field) {
    const Bytes v = Get(image, field);
    Ipv4 a{};
    std::copy_n(v.begin(), std::min(v.size(), a.size()), a.begin());
    return a;
}

void PutAddress(Image& image, Field field, const Ipv4& address) {
    Put(image, field, address);
}

std::uint16_t GetPort(const Image& image) {
    const Bytes v = Get(image, Field::PrintPort);
    return static_cast<std::uint16_t>(v[0] << 8 | v[1]);
}

void PutPort(Image& image, std::uint16_t port) {
    const std::uint8_t value[2] = {static_cast<std::uint8_t>(port >> 8), static_cast<std::uint8_t>(port)};
    Put(image, Field::PrintPort, value);
}

bool DhcpOn(const Image& image) {
    return Get(image, Field::Dhcp)[0] == kDhcpOn;
}

std::string MacText(const Mac& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

std::string IpText(const Ipv4& ip) {
    return std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." + std::to_string(ip[2]) + "." +
           std::to_string(ip[3]);
}

} // namespace pemberlux::sim::ps
