// The print server's framed byte protocol over UDP broadcast: discovery of the
// print servers on the local network, reading a print server's configuration
// image, writing blocks A and B of it back, and the apply request after each
// write. Every frame is broadcast to BroadcastAddress() on the chosen port; a
// print server recognises the frames meant for it by the MAC address in them.
#pragma once

#include "core/base/Bytes.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <thread>

namespace pemberlux {

constexpr std::uint16_t PS_UDP_PORT = 1901;

constexpr std::uint8_t PS_CMD_SEARCH = 0x01;
constexpr std::uint8_t PS_CMD_READ_CONFIG = 0x03;
constexpr std::uint8_t PS_CMD_APPLY = 0x04;
constexpr std::uint8_t PS_CMD_WRITE_A = 0x05;
constexpr std::uint8_t PS_CMD_WRITE_B = 0x06;

constexpr std::size_t DISCOVERY_RECORD_SIZE = 36;
constexpr std::size_t PS_CONFIG_SIZE = 256;
constexpr std::size_t PS_BLOCK_A_SIZE = 67;
constexpr std::size_t PS_BLOCK_SIZE = 63;  // blocks B, C and D
constexpr std::size_t PS_HEADER_SIZE = 21; // 0xFF, N, command and the addressing block
constexpr std::size_t PS_ACK_SIZE = 4;

// The login name and password every addressed frame carries, each followed by one 0x00.
constexpr char PS_CREDENTIAL[] = "tulvo";

// Waiting times of the channel.
constexpr std::chrono::milliseconds PS_ANSWER_TIMEOUT{500};
constexpr std::chrono::milliseconds PS_RECEIVER_START_TIMEOUT{3000};
// A search ends after this long even while answers keep arriving: a device that
// never stops answering must not keep the channel (and its owner's buttons) busy.
constexpr std::chrono::milliseconds PS_SEARCH_LIMIT{10000};
// Answers waiting to be taken (36 bytes each), far more than a network's worth
// of print servers; later ones are dropped while the queue is full.
constexpr std::size_t PS_QUEUE_LIMIT = 4096;

using MacAddress = std::array<std::uint8_t, 6>;
using Ipv4Octets = std::array<std::uint8_t, 4>; // first octet first

enum class PsSearchResult {
    Started,
    Busy,
    Failed, // socket or receiver could not be started
};

enum class PsReadResult {
    Ok,
    Busy,
    SendFailed, // socket or send failure
    NoAnswer,
};

enum class PsWriteResult {
    Acknowledged,
    Busy,
    NotAcknowledged,
    SendFailed, // also for a command other than PS_CMD_WRITE_A/B
    NoAnswer,   // socket failure or no answer
    NotRead,    // the configuration was not read first
};

enum class PsApplyResult {
    Acknowledged,
    OtherAnswer,
    Busy,
    SendFailed, // socket or send failure
    NoAnswer,
    NotRead,
};

// One print server's answer to the search, exactly 36 bytes as received.
struct DiscoveryRecord {
    std::array<std::uint8_t, DISCOVERY_RECORD_SIZE> bytes{};

    static constexpr std::size_t IP_OFFSET = 5;
    static constexpr std::size_t MAC_OFFSET = 9;
    static constexpr std::size_t FIRMWARE_OFFSET = 15;
    static constexpr std::size_t NAME_OFFSET = 19;
    static constexpr std::size_t NAME_SIZE = 17;

    Ipv4Octets Ip() const;
    MacAddress Mac() const;
    std::uint16_t Firmware() const; // little-endian in the record

    // Display forms: "00:1a:2b:3c:4d:5e", "258", "192.168.1.20".
    std::string MacText() const;
    std::string FirmwareText() const;
    std::string IpText() const;
    // The name bytes up to the first 0x00, at most the 17 bytes of the field even
    // when no terminator is present, without trailing spaces. The bytes are passed
    // on as the print server sent them.
    std::string DeviceName() const;

    bool operator==(const DiscoveryRecord&) const = default;
};

// A received search datagram is an answer only when it is exactly one record long.
std::optional<DiscoveryRecord> ParseDiscoveryDatagram(const std::uint8_t* data, std::size_t size);

// The print server's settings in four blocks. Only the fields below are
// interpreted; every other byte is carried unchanged.
struct ConfigImage {
    std::array<std::uint8_t, PS_BLOCK_A_SIZE> blockA{};
    std::array<std::uint8_t, PS_BLOCK_SIZE> blockB{};
    std::array<std::uint8_t, PS_BLOCK_SIZE> blockC{};
    std::array<std::uint8_t, PS_BLOCK_SIZE> blockD{};

    static constexpr std::size_t DHCP_OFFSET = 3;     // block A
    static constexpr std::size_t IP_OFFSET = 9;       // block A
    static constexpr std::size_t GATEWAY_OFFSET = 13; // block A
    static constexpr std::size_t MASK_OFFSET = 17;    // block A
    static constexpr std::size_t MAC_OFFSET = 53;     // block A
    static constexpr std::size_t PORT_OFFSET = 12;    // block B

    static constexpr std::uint8_t DHCP_ON = 0x00;
    static constexpr std::uint8_t DHCP_OFF = 0xFF;

    // Takes a read answer of `size` bytes (at most 256 are used): blocks A, B and
    // C from offsets 0, 67 and 130, missing bytes as zeros; block D from offset 193
    // only when the answer is the whole 256-byte image, else it stays as it was.
    void Load(const std::uint8_t* answer, std::size_t size);

    std::uint8_t DhcpFlag() const { return blockA[DHCP_OFFSET]; }
    void SetDhcpFlag(std::uint8_t flag) { blockA[DHCP_OFFSET] = flag; }
    bool DhcpEnabled() const { return DhcpFlag() == DHCP_ON; }

    // The addresses are stored last octet first; these take and give them first octet first.
    Ipv4Octets IpAddress() const { return GetAddress(IP_OFFSET); }
    void SetIpAddress(const Ipv4Octets& a) { SetAddress(IP_OFFSET, a); }
    Ipv4Octets Gateway() const { return GetAddress(GATEWAY_OFFSET); }
    void SetGateway(const Ipv4Octets& a) { SetAddress(GATEWAY_OFFSET, a); }
    Ipv4Octets SubnetMask() const { return GetAddress(MASK_OFFSET); }
    void SetSubnetMask(const Ipv4Octets& a) { SetAddress(MASK_OFFSET, a); }

    // The MAC address the write frames are addressed to.
    MacAddress Mac() const;

    // Print (monitor) port, little-endian.
    std::uint16_t PrintPort() const;
    void SetPrintPort(std::uint16_t port);

    bool operator==(const ConfigImage&) const = default;

private:
    Ipv4Octets GetAddress(std::size_t offset) const;
    void SetAddress(std::size_t offset, const Ipv4Octets& a);
};

// Sum modulo 256 of every byte from offset 1 up to the byte before the checksum.
std::uint8_t FrameChecksum(std::span<const std::uint8_t> frameWithoutChecksum);
// FF 01 01 02.
Bytes BuildSearchFrame();
// 0xFF, N, command, MAC, the login name and password, `data`, checksum.
Bytes BuildAddressedFrame(std::uint8_t command, const MacAddress& mac, std::span<const std::uint8_t> data = {});
// True when `answer` is the whole acknowledgement FF 01 <command> 4B. A cut answer
// whose few bytes match its start is not one: it must not pass for a success.
bool IsAcknowledgement(std::uint8_t command, const std::uint8_t* answer, std::size_t size);

// One channel per owner: the search dialog keeps one for discovery and the
// writes, the configuration dialog one for its read. One exchange runs at a
// time; an operation started while another runs returns "busy" and touches
// nothing. A search stays busy until no datagram has arrived for 500 ms, or
// for PS_SEARCH_LIMIT at the most.
class PrintServerChannel {
public:
    explicit PrintServerChannel(std::uint16_t port = PS_UDP_PORT);
    ~PrintServerChannel();
    PrintServerChannel(const PrintServerChannel&) = delete;
    PrintServerChannel& operator=(const PrintServerChannel&) = delete;

    // Broadcasts the search frame; the answers are queued as they arrive, up to
    // PS_QUEUE_LIMIT not yet taken.
    PsSearchResult Search();
    // The oldest queued answer, if any.
    bool PopAnswer(DiscoveryRecord& record);
    bool IsIdle() const;
    // Blocks until an answer is queued or the channel is idle, at most `timeout`;
    // true when either holds. Lets a worker drain the queue without spinning.
    bool WaitAnswerOrIdle(std::chrono::milliseconds timeout);
    // Blocks until the channel is idle, at most `timeout`; true when idle.
    bool WaitIdle(std::chrono::milliseconds timeout);

    // The addressed exchanges wait at most PS_ANSWER_TIMEOUT for the answer; a
    // stop request of `stop` ends that wait early, as an answer that did not come.
    PsReadResult ReadConfig(const DiscoveryRecord& target, const std::stop_token& stop = {});
    // `command` is PS_CMD_WRITE_A or PS_CMD_WRITE_B.
    PsWriteResult WriteBlock(std::uint8_t command, const std::stop_token& stop = {});
    PsApplyResult Apply(const DiscoveryRecord& target, const std::stop_token& stop = {});

    // The image is edited in place between ReadConfig and WriteBlock.
    ConfigImage& Image() { return image_; }
    const ConfigImage& Image() const { return image_; }
    // Set by a read that was answered, cleared by a search or a read without
    // answer. Writes and apply are refused while it is clear.
    bool ConfigRead() const { return configRead_; }
    void SetConfigRead(bool read) { configRead_ = read; }

    std::uint16_t Port() const { return port_; }

private:
    // Holds the channel for one exchange and gives it back on every way out; a
    // search hands it to its receiver, which gives it back when the search ends.
    class Claim {
    public:
        explicit Claim(PrintServerChannel& channel) : channel_(channel), held_(channel.TryClaim()) {}
        ~Claim() {
            if (held_) channel_.MarkIdle();
        }
        Claim(const Claim&) = delete;
        Claim& operator=(const Claim&) = delete;
        explicit operator bool() const { return held_; }
        void HandToReceiver() { held_ = false; }

    private:
        PrintServerChannel& channel_;
        bool held_;
    };

    bool TryClaim();
    void MarkIdle();
    bool PrepareSocket();
    void CloseSocket();
    bool SendFrame();
    bool WaitReadable(std::chrono::milliseconds timeout, const std::stop_token& stop = {});
    bool ReceiveAnswer(std::size_t capacity, const std::stop_token& stop);
    void ReceiverLoop();
    void StopReceiver();

    const std::uint16_t port_;
    std::atomic<bool> idle_{true};
    int socket_ = -1;
    std::uint32_t destination_ = 0; // IPv4 address in network byte order
    Bytes frame_;                   // the outgoing frame
    Bytes answer_;                  // the last answer to an addressed frame
    std::size_t answerSize_ = 0;    // bytes of it received
    std::atomic<bool> configRead_{false};

    std::mutex queueMutex_; // guards queue_ and the idle transitions waiters see
    std::condition_variable changed_;
    std::deque<DiscoveryRecord> queue_;

    std::thread receiver_;
    std::atomic<bool> stop_{false}; // ends the receiver's wait early

    ConfigImage image_;
};

} // namespace pemberlux
