// Arbitrary bytes through the receive ring into ReadReply and the reply handlers,
// as the receiving socket would deliver them: in datagram-sized chunks, or piled
// up until the ring is full. Bodies stay within their limit and end with the end
// line; the found-printer table never grows past its ten rows.
#include "core/network/KvProtocol.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace pemberlux;

namespace {

KvRing ring; // 64 KiB: not on the stack
KvTables tables;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

void Drain() {
    // No waiting: an empty ring ends the read at once.
    const KvReadLimits limits{1, 1, 1, std::chrono::microseconds(0)};
    KvBody body{};
    for (;;) {
        const KvReadResult read = ReadReply(ring, body, {}, limits);
        if (read.status == KvReadResult::NoHeader) return;
        if (!read) continue;
        const std::size_t n = read.length;
        Check(n >= 10 && n <= KV_BODY_LIMIT);
        Check(std::memcmp(body.data() + n - KV_END_LINE.size(), KV_END_LINE.data(), KV_END_LINE.size()) == 0);
        const std::string_view text = ReplyText(body, n);
        Check(text.size() + 4 <= n);
        const KvReply search = HandleSearchReply(tables, text);
        Check(search <= KvReply::RowUpdated);
        (void)HandleQueryReply(tables, text, "00A0D1000001");
        std::lock_guard lock(tables.mutex);
        Check(tables.foundPrinters.count <= MAX_FOUND_PRINTERS);
        Check(tables.foundPrinters.entries[MAX_FOUND_PRINTERS] == FoundPrinter{});
        if (search == KvReply::TableFull) tables.foundPrinters.Clear();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    ring.Reset();
    {
        std::lock_guard lock(tables.mutex);
        tables.foundPrinters.Clear();
    }
    const std::uint8_t mode = data[0];
    data += 1;
    size -= 1;
    if (mode & 0x80) {
        // Pile the input up without reading: the ring fills and drops the rest.
        std::size_t stored = 0;
        for (int i = 0; i < 24; ++i)
            stored += ring.Write(data, size);
        Check(stored <= KV_RING_SIZE - 1);
        Check(ring.Size() == stored);
        Drain();
        Check(ring.Size() == 0);
        return 0;
    }
    // Datagrams of 1 to 128 bytes, each read as soon as it arrives.
    const std::size_t chunk = (mode & 0x7F) + 1;
    for (std::size_t at = 0; at < size; at += chunk) {
        const std::size_t n = std::min(chunk, size - at);
        Check(ring.Write(data + at, n) == n);
        Drain();
    }
    return 0;
}
