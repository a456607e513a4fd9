// ParseFields on arbitrary reply text, with and without an expected MAC: the
// result is one of the documented codes, every entry read is a known key within
// its width, and what parsed cleanly parses the same again once rebuilt.
#include "core/network/KvProtocol.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace pemberlux;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte chooses whether the next 12 bytes are the expected MAC.
    const bool withMac = (data[0] & 1) != 0 && size >= 13;
    std::string_view mac;
    std::size_t skip = 1;
    if (withMac) {
        mac = std::string_view(reinterpret_cast<const char*>(data) + 1, 12);
        skip = 13;
    }
    const std::string_view text(reinterpret_cast<const char*>(data) + skip, size - skip);

    ConfigFieldTable fields{};
    bool matches = false;
    const KvParse rc = withMac ? ParseFields(text, fields, mac, &matches) : ParseFields(text, fields);
    if (rc != KvParse::Ok && rc != KvParse::NoText && rc != KvParse::UnknownKey && rc != KvParse::NoEnd)
        __builtin_trap();
    if (rc != KvParse::Ok) return 0;

    const std::size_t count = FieldCount(fields);
    for (std::size_t i = 0; i < count; ++i) {
        const KvKey* key = FindKvKey(fields[i].key);
        if (!key || key->width != fields[i].width || fields[i].Value().size() > key->width) __builtin_trap();
    }
    if (withMac) {
        const ConfigField* last = nullptr;
        for (std::size_t i = 0; i < count; ++i)
            if (fields[i].key == KV_KEY_MAC.name) last = &fields[i];
        if (matches != (last && last->Value() == mac)) __builtin_trap();
        (void)IsQueryReplyComplete(fields, mac);
    }
    (void)FoundPrinterFromFields(fields);

    // Rebuilt at full width, the lines read back the same.
    const Bytes rebuilt = BuildKvDatagram(KV_DIR_REPLY, KV_CMD_QUERY, fields);
    const std::string_view again(reinterpret_cast<const char*>(rebuilt.data()) + KV_HEADER_SIZE,
                                 rebuilt.size() - KV_HEADER_SIZE);
    ConfigFieldTable reparsed{};
    if (ParseFields(again, reparsed) != KvParse::Ok || FieldCount(reparsed) != count) __builtin_trap();
    for (std::size_t i = 0; i < count; ++i) {
        if (reparsed[i].key != fields[i].key || reparsed[i].Value() != fields[i].Value()) __builtin_trap();
    }
    return 0;
}
