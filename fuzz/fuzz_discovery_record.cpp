// Search answers as they come off the network: any datagram, any bytes.
#include "core/network/PrintServerChannel.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace pemberlux;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

void CheckDisplayForms(const DiscoveryRecord& r) {
    const std::string mac = r.MacText();
    Check(mac.size() == 17);
    for (std::size_t i = 2; i < mac.size(); i += 3)
        Check(mac[i] == ':');
    Check(r.IpText().size() >= 7 && r.IpText().size() <= 15);
    Check(std::stoul(r.FirmwareText()) == r.Firmware());

    const std::string name = r.DeviceName();
    Check(name.size() <= DiscoveryRecord::NAME_SIZE);
    Check(name.find('\0') == std::string::npos);
    Check(name.empty() || name.back() != ' ');
    // The name is the start of the field, as sent.
    Check(std::equal(name.begin(), name.end(), r.bytes.begin() + DiscoveryRecord::NAME_OFFSET,
                     [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; }));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The whole datagram: an answer only when it is exactly one record long.
    const auto whole = ParseDiscoveryDatagram(data, size);
    Check(whole.has_value() == (size == DISCOVERY_RECORD_SIZE));
    if (whole) {
        Check(std::equal(whole->bytes.begin(), whole->bytes.end(), data));
        CheckDisplayForms(*whole);
    }
    // Any 36 bytes of it make a record whose display forms stay inside it.
    if (size >= DISCOVERY_RECORD_SIZE) {
        const auto first = ParseDiscoveryDatagram(data, DISCOVERY_RECORD_SIZE);
        Check(first.has_value());
        CheckDisplayForms(*first);
    }
    return 0;
}
