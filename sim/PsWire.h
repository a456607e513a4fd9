// The print server's framed byte protocol as a print server speaks it: frames,
// acknowledgements, the search answer and the configuration image. The
// simulator's own encoder and decoder, written from the protocol description;
// they share nothing with the program's, so each side checks the other.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pemberlux::sim::ps {

using Bytes = std::vector<std::uint8_t>;
using Mac = std::array<std::uint8_t, 6>;
using Ipv4 = std::array<std::uint8_t, 4>; // first octet first

inline constexpr std::uint16_t kPort = 1901;
inline constexpr std::uint8_t kStart = 0xFF;

enum Command : std::uint8_t { kSearch = 0x01, kReadConfig = 0x03, kApply = 0x04, kWriteA = 0x05, kWriteB = 0x06 };

// What follows the command byte, by command: the addressing block (MAC, login
// name, password) or nothing, then `dataSize` bytes of command data.
struct CommandLayout {
    std::uint8_t code;
    bool addressed;
    std::size_t dataSize;
};
inline constexpr std::array<CommandLayout, 5> kCommands{{
    {kSearch, false, 0},
    {kReadConfig, true, 0},
    {kApply, true, 0},
    {kWriteA, true, 67},
    {kWriteB, true, 63},
}};
const CommandLayout* FindCommand(std::uint8_t code);

// Login name and password alike: "tulvo" and one zero byte.
inline constexpr std::array<std::uint8_t, 6> kLogin{'t', 'u', 'l', 'v', 'o', 0x00};
// 0xFF, N, command, MAC, login name, password.
inline constexpr std::size_t kAddressedHeader = 21;

// The sum, modulo 256, of every byte after the start byte.
std::uint8_t Checksum(std::span<const std::uint8_t> frameWithoutChecksum);
// 0xFF, N (bytes after the first three), command, payload, checksum.
Bytes EncodeFrame(std::uint8_t command, std::span<const std::uint8_t> payload = {});
// The same with the addressing block in front of `data`.
Bytes EncodeAddressed(std::uint8_t command, const Mac& mac, std::span<const std::uint8_t> data = {});
// FF 01 <command> 4B: the letter "K" where a checksum would be.
Bytes Ack(std::uint8_t command);

struct Frame {
    std::uint8_t command = 0;
    Mac mac{}; // addressed frames only
    Bytes data;
};

// A frame a print server takes: start byte, N equal to the length, a known
// command of its exact length, the checksum, and for addressed frames the
// login. Anything else is nullopt, the reason in `why`.
std::optional<Frame> DecodeFrame(std::span<const std::uint8_t> bytes, std::string* why = nullptr);

// ---- Search answer ---------------------------------------------------------------

inline constexpr std::size_t kAnswerSize = 36;
// 36 bytes: a 5-byte head, the address, the MAC, the firmware version (low byte
// first), two zero bytes, the name (17 bytes, a zero after it when shorter).
Bytes SearchAnswer(const Ipv4& ip, const Mac& mac, std::uint16_t firmware, std::string_view name);

// ---- Configuration image -----------------------------------------------------------

inline constexpr std::size_t kImageSize = 256;
using Image = std::array<std::uint8_t, kImageSize>;
// Where the four blocks start; A is 67 bytes, B, C and D 63.
inline constexpr std::size_t kBlockA = 0, kBlockB = 67, kBlockC = 130, kBlockD = 193;

// The fields of the image a print server keeps, at their offset in the whole
// image. Values are given most significant (first) byte first; `reversed`
// fields are stored the other way round (addresses last octet first, the port
// low byte first).
enum class Field { Dhcp, Ip, Gateway, Mask, Mac, PrintPort };
struct FieldLayout {
    Field field;
    std::size_t offset;
    std::size_t size;
    bool reversed;
};
inline constexpr std::array<FieldLayout, 6> kFields{{
    {Field::Dhcp, kBlockA + 3, 1, false},
    {Field::Ip, kBlockA + 9, 4, true},
    {Field::Gateway, kBlockA + 13, 4, true},
    {Field::Mask, kBlockA + 17, 4, true},
    {Field::Mac, kBlockA + 53, 6, false},
    {Field::PrintPort, kBlockB + 12, 2, true},
}};
inline constexpr std::uint8_t kDhcpOn = 0x00;
inline constexpr std::uint8_t kDhcpOff = 0xFF;

void Put(Image& image, Field field, std::span<const std::uint8_t> value);
Bytes Get(const Image& image, Field field);

Ipv4 GetAddress(const Image& image, Field field);
void PutAddress(Image& image, Field field, const Ipv4& address);
std::uint16_t GetPort(const Image& image);
void PutPort(Image& image, std::uint16_t port);
bool DhcpOn(const Image& image);

// "02:50:53:00:00:01", "127.0.1.2".
std::string MacText(const Mac& mac);
std::string IpText(const Ipv4& ip);

} // namespace pemberlux::sim::ps
