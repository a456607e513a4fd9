// Configuration read answers of any length and content, then the edits and
// the write frames built from the image.
#include "core/network/PrintServerChannel.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

using namespace pemberlux;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

template <std::size_t N>
bool Holds(const std::array<std::uint8_t, N>& block, const std::uint8_t* answer, std::size_t size, std::size_t at) {
    for (std::size_t i = 0; i < N; ++i) {
        const std::uint8_t expected = at + i < size ? answer[at + i] : 0;
        if (block[i] != expected) return false;
    }
    return true;
}

void CheckWriteFrame(std::uint8_t command, const ConfigImage& image, std::span<const std::uint8_t> block) {
    const auto frame = BuildAddressedFrame(command, image.Mac(), block);
    Check(frame.size() == PS_HEADER_SIZE + block.size() + 1);
    Check(frame[0] == 0xFF && frame[1] == frame.size() - 3 && frame[2] == command);
    Check(std::equal(block.begin(), block.end(), frame.begin() + PS_HEADER_SIZE));
    unsigned sum = 0;
    for (std::size_t i = 1; i + 1 < frame.size(); ++i)
        sum += frame[i];
    Check(frame.back() == static_cast<std::uint8_t>(sum));
    const MacAddress mac = image.Mac();
    Check(std::equal(mac.begin(), mac.end(), frame.begin() + 3));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte stands for what block D held before the read.
    ConfigImage image;
    image.blockD.fill(data[0]);
    const std::uint8_t* answer = data + 1;
    const std::size_t received = std::min(size - 1, PS_CONFIG_SIZE); // the read's capacity
    image.Load(answer, size - 1);

    Check(Holds(image.blockA, answer, received, 0));
    Check(Holds(image.blockB, answer, received, PS_BLOCK_A_SIZE));
    Check(Holds(image.blockC, answer, received, PS_BLOCK_A_SIZE + PS_BLOCK_SIZE));
    if (received == PS_CONFIG_SIZE)
        Check(Holds(image.blockD, answer, received, PS_BLOCK_A_SIZE + 2 * PS_BLOCK_SIZE));
    else
        Check(std::all_of(image.blockD.begin(), image.blockD.end(), [&](auto b) { return b == data[0]; }));

    // Edits change only their own bytes and read back as written.
    const ConfigImage before = image;
    const Ipv4Octets ip = image.Gateway(), gateway = image.SubnetMask(), mask = image.IpAddress();
    image.SetIpAddress(ip);
    image.SetGateway(gateway);
    image.SetSubnetMask(mask);
    image.SetPrintPort(static_cast<std::uint16_t>(~before.PrintPort()));
    image.SetDhcpFlag(before.DhcpEnabled() ? ConfigImage::DHCP_OFF : ConfigImage::DHCP_ON);
    Check(image.IpAddress() == ip && image.Gateway() == gateway && image.SubnetMask() == mask);
    Check(image.PrintPort() == static_cast<std::uint16_t>(~before.PrintPort()));
    Check(image.DhcpEnabled() != before.DhcpEnabled());
    Check(image.Mac() == before.Mac());
    Check(image.blockC == before.blockC && image.blockD == before.blockD);
    for (std::size_t i = 0; i < PS_BLOCK_A_SIZE; ++i) {
        const bool edited =
            i == ConfigImage::DHCP_OFFSET || (i >= ConfigImage::IP_OFFSET && i < ConfigImage::MASK_OFFSET + 4);
        if (!edited) Check(image.blockA[i] == before.blockA[i]);
    }

    CheckWriteFrame(PS_CMD_WRITE_A, image, image.blockA);
    CheckWriteFrame(PS_CMD_WRITE_B, image, image.blockB);

    // The same bytes taken as an acknowledgement.
    for (std::uint8_t command : {PS_CMD_WRITE_A, PS_CMD_WRITE_B, PS_CMD_APPLY}) {
        const bool ack = IsAcknowledgement(command, answer, size - 1);
        Check(ack ==
              (size - 1 == 4 && answer[0] == 0xFF && answer[1] == 0x01 && answer[2] == command && answer[3] == 0x4B));
    }
    return 0;
}
