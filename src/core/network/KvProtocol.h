// The key-value configuration protocol of the label printers' network module:
// UDP datagrams of a fixed header followed by fixed-width "KEY = value" lines and
// an end line. This file holds the wire format (builder and parser), the receive
// ring, the reply reader and the tables the replies are parsed into. The exchanges
// (sockets, receiver thread, search / query / set) are in KvExchange.h.
#pragma once

#include "core/base/Bytes.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace pemberlux {

// Destination port of every request, and the local port replies arrive on.
inline constexpr std::uint16_t KV_UDP_PORT = 22094;
inline constexpr std::array<std::uint8_t, 6> KV_MAGIC{0x00, 0x0D, 0xAC, 0x00, 0x0D, 0xAC};
inline constexpr std::uint8_t KV_DIR_REQUEST = 0x00;
inline constexpr std::uint8_t KV_DIR_REPLY = 0xFF;
// Magic, direction byte and the 32-bit little-endian command.
inline constexpr std::size_t KV_HEADER_SIZE = 11;
inline constexpr std::string_view KV_END_LINE{"*END* = \r\n", 10};
inline constexpr std::string_view KV_KEY_SEPARATOR{" = ", 3};

enum KvCommand : std::uint32_t {
    KV_CMD_SEARCH = 1,
    KV_CMD_QUERY = 2,
    KV_CMD_SET = 3,
};

// An exchange times out once the elapsed whole seconds exceed this (4 s after its start).
inline constexpr int KV_REPLY_TIMEOUT_SECONDS = 3;
inline constexpr std::size_t MAX_FOUND_PRINTERS = 10;
inline constexpr std::size_t KV_RING_SIZE = 65536;
// Command code and end line included.
inline constexpr std::size_t KV_BODY_LIMIT = 640;
// Largest datagram taken from the receiving socket in one read.
inline constexpr std::size_t KV_MAX_DATAGRAM = 2048;
// Eleven keys plus the end marker.
inline constexpr std::size_t KV_FIELD_COUNT = 12;
inline constexpr std::size_t KV_VALUE_MAX = 32;

// What ParseFields made of a reply's text, with the reader's numbers. No message
// goes with any of them: a reply that cannot be read is passed over.
enum class KvParse : int {
    Ok = 0,
    NoText = -1,
    UnknownKey = -2, // no known key at a line's offset
    NoEnd = -8,      // no end line
};

// What HandleSearchReply / HandleQueryReply did with a reply: a text that could
// not be read gives the parser's result with its number; none is shown.
enum class KvReply : int {
    NoText = static_cast<int>(KvParse::NoText),
    UnknownKey = static_cast<int>(KvParse::UnknownKey),
    NoEnd = static_cast<int>(KvParse::NoEnd),
    Ignored = 0,
    Taken = 1,      // query answer accepted, or a new row
    TableFull = 2,  // a new printer while MAX_FOUND_PRINTERS are listed
    RowUpdated = 3, // a listed printer answered again with other values
};

struct KvKey {
    std::string_view name;
    std::uint8_t width;
};

inline constexpr KvKey KV_KEY_DEV{"DEV", 20};
inline constexpr KvKey KV_KEY_VER{"VER", 20};
inline constexpr KvKey KV_KEY_SERIAL_NUM{"SERIAL_NUM", 20};
inline constexpr KvKey KV_KEY_MAC{"MAC", 12};
inline constexpr KvKey KV_KEY_IP_CUR{"IP_CUR", 15};
inline constexpr KvKey KV_KEY_DHCP{"DHCP", 1};
inline constexpr KvKey KV_KEY_IP{"IP", 15};
inline constexpr KvKey KV_KEY_SUBNET_MASK{"SUBNET_MASK", 15};
inline constexpr KvKey KV_KEY_GATEWAY{"GATEWAY", 15};
inline constexpr KvKey KV_KEY_PRNT_PORT{"PRNT_PORT", 5};
inline constexpr KvKey KV_KEY_PRNT_RCV_TMO{"PRNT_RCV_TMO", 5};

// The order in which the parser tries the keys and in which a set sends them.
inline constexpr std::array<KvKey, 11> KV_KEYS{
    KV_KEY_DEV, KV_KEY_VER,         KV_KEY_SERIAL_NUM, KV_KEY_MAC,       KV_KEY_IP_CUR,       KV_KEY_DHCP,
    KV_KEY_IP,  KV_KEY_SUBNET_MASK, KV_KEY_GATEWAY,    KV_KEY_PRNT_PORT, KV_KEY_PRNT_RCV_TMO,
};

// The key of that name, or nullptr.
const KvKey* FindKvKey(std::string_view name);

// The value IP_CUR holds while the printer has no address yet.
inline constexpr std::string_view KV_NO_ADDRESS = "----";

// One parsed or to-be-sent line. The end marker has an empty key and width 0.
struct ConfigField {
    std::string_view key; // one of the names in KV_KEYS (static storage), or empty
    std::array<char, KV_VALUE_MAX + 1> value{};
    std::uint8_t width = 0;

    std::string_view Value() const;
    // Stores at most KV_VALUE_MAX characters of `text`.
    void SetValue(std::string_view text);
    bool IsEnd() const { return key.empty(); }
};

using ConfigFieldTable = std::array<ConfigField, KV_FIELD_COUNT>;

void ClearFields(ConfigFieldTable& fields);
// Sets entry `index` to `key` (its width from the key table) and `value`, and
// writes the end marker after it when there is room. False for an unknown key
// or an index past the table.
bool SetField(ConfigFieldTable& fields, std::size_t index, std::string_view key, std::string_view value);
// The first entry with `key` before the end marker (or among all twelve), or nullptr.
const ConfigField* FindField(const ConfigFieldTable& fields, std::string_view key);
// Number of entries before the end marker (12 when there is none).
std::size_t FieldCount(const ConfigFieldTable& fields);

// The key, " = ", the value padded with spaces or cut to exactly the width, CR LF.
std::string BuildLine(const ConfigField& field);

// Parses reply lines into `fields`: Ok, NoText (empty text), UnknownKey (no key
// at a line's fixed offset) or NoEnd.
// Lines are read at fixed offsets (key, " = ", the key's width, CR LF); values lose
// their trailing spaces. With `expectedMac`, `*macMatches` tells whether the reply's
// MAC value equals it exactly. On an error `fields` holds the lines read so far.
KvParse ParseFields(std::string_view text, ConfigFieldTable& fields, std::optional<std::string_view> expectedMac = {},
                    bool* macMatches = nullptr);

// Requests as sent by the tool and replies as sent by a printer.
Bytes BuildKvHeader(std::uint8_t direction, std::uint32_t command);
// Header, `lines` as they stand, end line.
Bytes BuildKvDatagram(std::uint8_t direction, std::uint32_t command, std::string_view lines);
// Header, the lines of `fields` up to the end marker, end line.
Bytes BuildKvDatagram(std::uint8_t direction, std::uint32_t command, const ConfigFieldTable& fields);
Bytes BuildSearchRequest();                                             // 21 bytes
Bytes BuildQueryRequest(std::string_view mac, std::string_view serial); // 76 bytes
Bytes BuildSetRequest(const ConfigFieldTable& fields);                  // 289 bytes with all eleven keys

// Single-writer single-reader byte ring without a lock: the writer moves only the
// write index, the reader only the read index. One byte is always left free. A
// reader with nothing to take sleeps in WaitReadable until the writer stores bytes.
class KvRing {
public:
    // Writer: stores what fits and returns that count; the rest is dropped.
    std::size_t Write(const std::uint8_t* data, std::size_t size);
    // Reader: takes one byte; false when the ring is empty.
    bool Take(std::uint8_t& byte);
    // Reader: blocks until the ring holds a byte, `until` passes, or `stop` (looked at
    // under the ring's wait lock) holds; true when a byte is there.
    bool WaitReadable(std::chrono::steady_clock::time_point until, const std::function<bool()>& stop = {});
    // Wakes a reader in WaitReadable so that it looks at its stop condition again.
    // Call it after making that condition true.
    void Wake();
    // Reader: drops everything stored so far.
    void Discard();
    // Only while neither side runs.
    void Reset();
    std::size_t Size() const;
    // Bytes the writer had to drop because the ring was full.
    std::uint64_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    std::array<std::uint8_t, KV_RING_SIZE> bytes_{};
    std::atomic<std::uint32_t> write_{0};
    std::atomic<std::uint32_t> read_{0};
    std::atomic<std::uint64_t> dropped_{0};
    std::mutex waitMutex_; // only for the reader's sleep: the indexes need no lock
    std::condition_variable arrived_;
};

using KvBody = std::array<std::uint8_t, KV_BODY_LIMIT>;

// How long ReadReply waits on an empty ring, counted in empty polls of `pollWait`
// each: `headerEmptyPolls` of them in all before a header give KV_READ_NO_HEADER;
// inside a body `bodyRounds` rounds of `bodyEmptyPolls` consecutive empty polls give
// KV_READ_BODY_TIMEOUT. The reader does not poll: it sleeps on the ring for as
// long as those polls would have lasted and wakes when bytes arrive.
struct KvReadLimits {
    int headerEmptyPolls = 100;
    int bodyEmptyPolls = 1000;
    int bodyRounds = 100;
    std::chrono::microseconds pollWait{1000};
};

// Takes the next reply from the ring: skips bytes up to KV_MAGIC followed by the
// reply direction 0xFF (requests, the tool's own included, never match), then
// collects the body (command code and text) up to and including KV_END_LINE into
// `body`. Read with the body's length, or NoHeader, BodyTimeout, TooLong (more
// than KV_BODY_LIMIT bytes without the end line). `abort`
// ends the wait early with the failure of the phase it is in; it is looked at when
// the ring is empty, at least every 100 ms while waiting, and on KvRing::Wake().
struct KvReadResult {
    enum Status { Read, NoHeader, BodyTimeout, TooLong };
    Status status = NoHeader;
    std::size_t length = 0; // of the body, when Read

    explicit operator bool() const { return status == Read; }
    bool operator==(const KvReadResult&) const = default;
};
KvReadResult ReadReply(KvRing& ring, KvBody& body, const std::function<bool()>& abort = {},
                       const KvReadLimits& limits = {});

// The text of a body ReadReply returned: after the command code, up to the first
// zero byte.
std::string_view ReplyText(const KvBody& body, std::size_t length);

// One row of the found-printer table.
struct FoundPrinter {
    std::string deviceName;
    std::string firmwareVersion;
    std::string mac;
    std::string ipInUse;
    std::string serialNumber;
    int printPort = 0; // PRNT_PORT; 0 when the answer has none

    bool operator==(const FoundPrinter&) const = default;
};

// "DEV", "VER", "SERIAL_NUM", "MAC", "IP_CUR" and "PRNT_PORT" of the table; missing keys give empty texts (0).
FoundPrinter FoundPrinterFromFields(const ConfigFieldTable& fields);

struct FoundPrinterTable {
    std::array<FoundPrinter, MAX_FOUND_PRINTERS + 1> entries{}; // the last one stays empty
    std::size_t count = 0;

    void Clear();
};

// Whether a query answer for `selectedMac` is complete: a "DHCP" entry follows the
// "MAC" entry equal to it, an "IP_CUR" entry exists, and DHCP is off or IP_CUR
// already holds an address (not "----").
bool IsQueryReplyComplete(const ConfigFieldTable& fields, std::string_view selectedMac);

// Integer value of a decimal text as the printer writes it (leading digits; 0 if none).
int KvFieldInt(std::string_view value);

// The tables of one exchange (KvExchange holds them). The receiver thread writes
// receivedFields, foundPrinters and queriedPrinter under `mutex`; the owner reads
// them under it (or after the exchange has ended). outgoingFields holds the fields
// of the next set.
struct KvTables {
    ConfigFieldTable receivedFields{};
    ConfigFieldTable outgoingFields{};
    FoundPrinterTable foundPrinters{};
    FoundPrinter queriedPrinter{};
    mutable std::mutex mutex;
};

// Reply handlers of the receiver thread; `text` is the reply after its command code.
// Search: a parse failure (reply ignored), Taken (row added), RowUpdated (the row
// with that serial number rewritten), Ignored (same values again) or TableFull
// (a new printer while MAX_FOUND_PRINTERS are listed; dropped).
KvReply HandleSearchReply(KvTables& tables, std::string_view text);
// Query: a parse failure, Ignored (no MAC, or another printer's) or Taken
// (receivedFields and queriedPrinter hold the reply).
KvReply HandleQueryReply(KvTables& tables, std::string_view text, std::string_view selectedMac);

} // namespace pemberlux
