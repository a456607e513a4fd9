#include "core/network/KvProtocol.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>

namespace pemberlux {

const KvKey* FindKvKey(std::string_view name) {
    for (const KvKey& key : KV_KEYS) {
        if (key.name == name) return &key;
    }
    return nullptr;
}

std::string_view ConfigField::Value() const {
    return {value.data(), ::strnlen(value.data(), KV_VALUE_MAX)};
}

void ConfigField::SetValue(std::string_view text) {
    value.fill('\0');
    const std::size_t n = std::min(text.size(), KV_VALUE_MAX);
    std::copy_n(text.data(), n, value.data());
}

void ClearFields(ConfigFieldTable& fields) {
    fields.fill(ConfigField{});
}

bool SetField(ConfigFieldTable& fields, std::size_t index, std::string_view key, std::string_view value) {
    const KvKey* known = FindKvKey(key);
    if (!known || index >= fields.size()) return false;
    fields[index].key = known->name;
    fields[index].width = known->width;
    fields[index].SetValue(value);
    if (index + 1 < fields.size()) fields[index + 1] = ConfigField{};
    return true;
}

std::size_t FieldCount(const ConfigFieldTable& fields) {
    std::size_t n = 0;
    while (n < fields.size() && !fields[n].IsEnd())
        ++n;
    return n;
}

const ConfigField* FindField(const ConfigFieldTable& fields, std::string_view key) {
    const std::size_t n = FieldCount(fields);
    for (std::size_t i = 0; i < n; ++i) {
        if (fields[i].key == key) return &fields[i];
    }
    return nullptr;
}

std::string BuildLine(const ConfigField& field) {
    std::string value(field.Value().substr(0, field.width));
    value.resize(field.width, ' ');
    std::string line;
    line.reserve(field.key.size() + field.width + 5);
    line.append(field.key).append(KV_KEY_SEPARATOR).append(value).append("\r\n");
    return line;
}

KvParse ParseFields(std::string_view text, ConfigFieldTable& fields, std::optional<std::string_view> expectedMac,
                    bool* macMatches) {
    if (macMatches) *macMatches = false;
    if (text.empty()) return KvParse::NoText;
    if (text.find(KV_END_LINE) == std::string_view::npos) return KvParse::NoEnd;
    ClearFields(fields);

    std::size_t pos = 0;
    for (std::size_t i = 0; i < KV_FIELD_COUNT; ++i) {
        const std::string_view rest = pos < text.size() ? text.substr(pos) : std::string_view{};
        if (rest.starts_with(KV_END_LINE)) {
            fields[i] = ConfigField{};
            return KvParse::Ok;
        }
        const KvKey* key = nullptr;
        for (const KvKey& candidate : KV_KEYS) {
            if (rest.starts_with(candidate.name) && rest.substr(candidate.name.size()).starts_with(KV_KEY_SEPARATOR)) {
                key = &candidate;
                break;
            }
        }
        if (!key) return KvParse::UnknownKey;

        // The value sits at a fixed offset and width; a short text yields what is left.
        std::string_view value = rest.substr(key->name.size() + KV_KEY_SEPARATOR.size(), key->width);
        value = value.substr(0, value.find('\0')); // values are C texts
        while (!value.empty() && value.back() == ' ')
            value.remove_suffix(1);
        fields[i].key = key->name;
        fields[i].width = key->width;
        fields[i].SetValue(value);
        if (key->name == KV_KEY_MAC.name && expectedMac && macMatches) *macMatches = fields[i].Value() == *expectedMac;
        // No search for CR LF: the next line is where the fixed widths put it.
        pos += key->name.size() + key->width + 5;
    }
    return KvParse::Ok;
}

Bytes BuildKvHeader(std::uint8_t direction, std::uint32_t command) {
    Bytes out(KV_MAGIC.begin(), KV_MAGIC.end());
    out.push_back(direction);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(command >> shift));
    return out;
}

Bytes BuildKvDatagram(std::uint8_t direction, std::uint32_t command, std::string_view lines) {
    Bytes out = BuildKvHeader(direction, command);
    out.insert(out.end(), lines.begin(), lines.end());
    out.insert(out.end(), KV_END_LINE.begin(), KV_END_LINE.end());
    return out;
}

Bytes BuildKvDatagram(std::uint8_t direction, std::uint32_t command, const ConfigFieldTable& fields) {
    std::string lines;
    const std::size_t n = FieldCount(fields);
    for (std::size_t i = 0; i < n; ++i)
        lines += BuildLine(fields[i]);
    return BuildKvDatagram(direction, command, lines);
}

Bytes BuildSearchRequest() {
    return BuildKvDatagram(KV_DIR_REQUEST, KV_CMD_SEARCH, std::string_view{});
}

Bytes BuildQueryRequest(std::string_view mac, std::string_view serial) {
    ConfigFieldTable fields{};
    SetField(fields, 0, KV_KEY_MAC.name, mac);
    SetField(fields, 1, KV_KEY_SERIAL_NUM.name, serial);
    return BuildKvDatagram(KV_DIR_REQUEST, KV_CMD_QUERY, fields);
}

Bytes BuildSetRequest(const ConfigFieldTable& fields) {
    return BuildKvDatagram(KV_DIR_REQUEST, KV_CMD_SET, fields);
}

std::size_t KvRing::Write(const std::uint8_t* data, std::size_t size) {
    const std::uint32_t w = write_.load(std::memory_order_relaxed);
    const std::uint32_t r = read_.load(std::memory_order_acquire);
    const std::size_t space = (r + KV_RING_SIZE - w - 1) % KV_RING_SIZE;
    const std::size_t n = std::min(size, space);
    const std::size_t first = std::min(n, KV_RING_SIZE - w);
    std::memcpy(bytes_.data() + w, data, first);
    std::memcpy(bytes_.data(), data + first, n - first);
    write_.store(static_cast<std::uint32_t>((w + n) % KV_RING_SIZE), std::memory_order_release);
    if (n < size) dropped_.fetch_add(size - n, std::memory_order_relaxed);
    if (n > 0) Wake();
    return n;
}

bool KvRing::WaitReadable(std::chrono::steady_clock::time_point until, const std::function<bool()>& stop) {
    std::unique_lock lock(waitMutex_);
    // Both sides change what the predicate reads before taking the lock to wake
    // the reader, so no wake-up falls between its look and its sleep.
    arrived_.wait_until(lock, until, [&] { return Size() > 0 || (stop && stop()); });
    return Size() > 0;
}

void KvRing::Wake() {
    { std::lock_guard lock(waitMutex_); }
    arrived_.notify_all();
}

bool KvRing::Take(std::uint8_t& byte) {
    const std::uint32_t r = read_.load(std::memory_order_relaxed);
    if (r == write_.load(std::memory_order_acquire)) return false;
    byte = bytes_[r];
    read_.store(static_cast<std::uint32_t>((r + 1) % KV_RING_SIZE), std::memory_order_release);
    return true;
}

void KvRing::Discard() {
    read_.store(write_.load(std::memory_order_acquire), std::memory_order_release);
}

void KvRing::Reset() {
    write_.store(0);
    read_.store(0);
    bytes_.fill(0);
    dropped_.store(0);
}

std::size_t KvRing::Size() const {
    const std::uint32_t w = write_.load(std::memory_order_acquire);
    const std::uint32_t r = read_.load(std::memory_order_acquire);
    return (w + KV_RING_SIZE - r) % KV_RING_SIZE;
}

KvReadResult ReadReply(KvRing& ring, KvBody& body, const std::function<bool()>& abort, const KvReadLimits& limits) {
    using Clock = std::chrono::steady_clock;
    // The abort request is looked at at least this often while the ring stays empty.
    constexpr Clock::duration kAbortSlice = std::chrono::milliseconds(100);
    // A steady stream of unrelated bytes never leaves the ring empty; look at the
    // abort request every so many bytes as well.
    constexpr int kBytesBetweenChecks = 4096;

    const auto aborted = [&] { return abort && abort(); };
    // Sleeps until the ring holds a byte or `until` passes; false on an abort.
    const auto waitUntil = [&](Clock::time_point until) {
        for (;;) {
            if (aborted()) return false;
            const Clock::time_point now = Clock::now();
            if (now >= until) return true;
            if (ring.WaitReadable(std::min(until, now + kAbortSlice), abort)) return !aborted();
        }
    };
    const Clock::duration pollWait = limits.pollWait;

    // Header: the empty polls are counted over the whole search, so the silence
    // allowed is shared by every gap before the reply starts.
    Clock::duration headerSilenceLeft = pollWait * std::max(limits.headerEmptyPolls - 1, 0);
    std::array<std::uint8_t, 6> last{};
    std::size_t taken = 0;
    int sinceCheck = 0;
    for (;;) {
        std::uint8_t byte = 0;
        if (!ring.Take(byte)) {
            if (headerSilenceLeft <= Clock::duration::zero() || aborted()) return {KvReadResult::NoHeader};
            const Clock::time_point start = Clock::now();
            if (!waitUntil(start + headerSilenceLeft)) return {KvReadResult::NoHeader};
            headerSilenceLeft -= Clock::now() - start;
            continue;
        }
        if (taken >= last.size() && last == KV_MAGIC && byte == KV_DIR_REPLY) break;
        std::copy(last.begin() + 1, last.end(), last.begin());
        last.back() = byte;
        ++taken;
        if (++sinceCheck >= kBytesBetweenChecks) {
            sinceCheck = 0;
            if (aborted()) return {KvReadResult::NoHeader};
        }
    }

    // Body: each gap uses up one round per `bodyEmptyPolls` polls of silence it
    // lasts; what is left of a round when bytes come again is not carried over.
    body.fill(0);
    const Clock::duration round = pollWait * limits.bodyEmptyPolls;
    int roundsLeft = limits.bodyRounds;
    std::size_t length = 0;
    for (;;) {
        if (length >= body.size()) return {KvReadResult::TooLong};
        std::uint8_t byte = 0;
        if (!ring.Take(byte)) {
            if (aborted()) return {KvReadResult::BodyTimeout};
            if (round <= Clock::duration::zero() || roundsLeft <= 0) return {KvReadResult::BodyTimeout};
            const Clock::time_point gapStart = Clock::now();
            const Clock::time_point gapLimit = gapStart + round * roundsLeft;
            if (!waitUntil(gapLimit)) return {KvReadResult::BodyTimeout};
            const Clock::time_point now = Clock::now();
            if (now >= gapLimit && ring.Size() == 0) return {KvReadResult::BodyTimeout};
            roundsLeft -= static_cast<int>((now - gapStart) / round);
            continue;
        }
        body[length++] = byte;
        if (length >= KV_END_LINE.size() &&
            std::memcmp(body.data() + length - KV_END_LINE.size(), KV_END_LINE.data(), KV_END_LINE.size()) == 0) {
            return {KvReadResult::Read, length};
        }
    }
}

std::string_view ReplyText(const KvBody& body, std::size_t length) {
    if (length <= 4) return {};
    const std::size_t end = std::min(length, body.size());
    const auto* begin = reinterpret_cast<const char*>(body.data()) + 4;
    return {begin, ::strnlen(begin, end - 4)};
}

FoundPrinter FoundPrinterFromFields(const ConfigFieldTable& fields) {
    const auto text = [&](const KvKey& key) {
        const ConfigField* field = FindField(fields, key.name);
        return field ? std::string(field->Value().substr(0, key.width)) : std::string();
    };
    FoundPrinter printer;
    printer.deviceName = text(KV_KEY_DEV);
    printer.firmwareVersion = text(KV_KEY_VER);
    printer.serialNumber = text(KV_KEY_SERIAL_NUM);
    printer.mac = text(KV_KEY_MAC);
    printer.ipInUse = text(KV_KEY_IP_CUR);
    printer.printPort = KvFieldInt(text(KV_KEY_PRNT_PORT));
    return printer;
}

void FoundPrinterTable::Clear() {
    entries.fill(FoundPrinter{});
    count = 0;
}

int KvFieldInt(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
    long long result = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        result = std::min<long long>(result * 10 + (value[i] - '0'), 1LL << 31);
    }
    if (negative) result = -result;
    return static_cast<int>(std::clamp<long long>(result, INT32_MIN, INT32_MAX));
}

bool IsQueryReplyComplete(const ConfigFieldTable& fields, std::string_view selectedMac) {
    const std::size_t n = FieldCount(fields);
    std::size_t mac = n;
    for (std::size_t i = 0; i < n; ++i) {
        if (fields[i].key == KV_KEY_MAC.name && fields[i].Value() == selectedMac) {
            mac = i;
            break;
        }
    }
    if (mac == n) return false;
    const ConfigField* dhcp = nullptr;
    for (std::size_t i = mac + 1; i < n && !dhcp; ++i) {
        if (fields[i].key == KV_KEY_DHCP.name) dhcp = &fields[i];
    }
    const ConfigField* ipCur = FindField(fields, KV_KEY_IP_CUR.name);
    if (!dhcp || !ipCur) return false;
    return KvFieldInt(dhcp->Value()) != 1 || ipCur->Value() != KV_NO_ADDRESS;
}

KvReply HandleSearchReply(KvTables& tables, std::string_view text) {
    ConfigFieldTable parsed{};
    const KvParse rc = ParseFields(text, parsed);
    if (rc != KvParse::Ok) return static_cast<KvReply>(rc);
    const FoundPrinter printer = FoundPrinterFromFields(parsed);

    std::lock_guard lock(tables.mutex);
    tables.receivedFields = parsed;
    const std::size_t count = std::min(tables.foundPrinters.count, MAX_FOUND_PRINTERS);
    for (std::size_t i = 0; i < count; ++i) {
        FoundPrinter& row = tables.foundPrinters.entries[i];
        if (row.serialNumber != printer.serialNumber) continue;
        if (row == printer) return KvReply::Ignored;
        row = printer;
        return KvReply::RowUpdated;
    }
    if (count >= MAX_FOUND_PRINTERS) return KvReply::TableFull;
    tables.foundPrinters.entries[count] = printer;
    tables.foundPrinters.count = count + 1;
    return KvReply::Taken;
}

KvReply HandleQueryReply(KvTables& tables, std::string_view text, std::string_view selectedMac) {
    ConfigFieldTable parsed{};
    bool matches = false;
    const KvParse rc = ParseFields(text, parsed, selectedMac, &matches);
    if (rc != KvParse::Ok) return static_cast<KvReply>(rc);
    // Another printer's answer (or one without a MAC) must not reach the tables:
    // the configuration dialog shows and sends back what the received fields hold.
    if (!matches) return KvReply::Ignored;

    std::lock_guard lock(tables.mutex);
    tables.receivedFields = parsed;
    tables.queriedPrinter = FoundPrinterFromFields(parsed);
    return KvReply::Taken;
}

} // namespace pemberlux
