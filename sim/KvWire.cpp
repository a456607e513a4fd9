#include "KvWire.h"

#include <algorithm>
#include <cstdlib>

namespace pemberlux::sim::kv {

namespace {

const Key* FindKey(std::string_view name) {
    for (const Key& key : kKeys)
        if (key.name == name) return &key;
    return nullptr;
}

bool Fail(std::string* why, std::string reason) {
    if (why) *why = std::move(reason);
    return false;
}

} // namespace

std::optional<std::string> Find(const Fields& fields, std::string_view key) {
    for (const auto& [name, value] : fields)
        if (name == key) return value;
    return std::nullopt;
}

std::string Line(std::string_view key, std::size_t width, std::string_view value) {
    std::string line(key);
    line += " = ";
    std::string padded(value.substr(0, width));
    padded.resize(width, ' ');
    return line + padded + "\r\n";
}

std::string Line(std::string_view key, std::string_view value) {
    const Key* known = FindKey(key);
    if (!known) std::abort();
    return Line(key, known->width, value);
}

Bytes Datagram(std::uint8_t direction, std::uint32_t command, std::string_view lines, bool endLine) {
    Bytes out(kMagic.begin(), kMagic.end());
    out.push_back(direction);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(command >> (8 * i)));
    out.insert(out.end(), lines.begin(), lines.end());
    if (endLine) out.insert(out.end(), kEndLine.begin(), kEndLine.end());
    return out;
}

std::optional<Message> Parse(const std::uint8_t* data, std::size_t size, std::string* why) {
    if (size < kHeaderSize || !std::equal(kMagic.begin(), kMagic.end(), data)) {
        Fail(why, "no header");
        return std::nullopt;
    }
    Message m;
    m.direction = data[6];
    for (int i = 3; i >= 0; --i)
        m.command = (m.command << 8) | data[7 + i];
    const std::string_view text(reinterpret_cast<const char*>(data) + kHeaderSize, size - kHeaderSize);
    std::size_t at = 0;
    for (;;) {
        const std::string_view rest = text.substr(at);
        if (rest.starts_with(kEndLine)) {
            if (rest.size() != kEndLine.size()) {
                Fail(why, "bytes after the end line");
                return std::nullopt;
            }
            return m;
        }
        const Key* key = nullptr;
        for (const Key& k : kKeys) {
            if (rest.starts_with(k.name) && rest.substr(k.name.size()).starts_with(" = ")) {
                key = &k;
                break;
            }
        }
        if (!key) {
            Fail(why, rest.empty() ? "no end line" : "unknown key at byte " + std::to_string(kHeaderSize + at));
            return std::nullopt;
        }
        const std::size_t valueAt = key->name.size() + 3;
        if (rest.size() < valueAt + key->width + 2 || rest.substr(valueAt + key->width, 2) != "\r\n") {
            Fail(why, std::string(key->name) + " is not " + std::to_string(key->width) + " characters wide");
            return std::nullopt;
        }
        std::string value(rest.substr(valueAt, key->width));
        value.erase(value.find_last_not_of(' ') + 1);
        m.fields.emplace_back(std::string(key->name), std::move(value));
        at += valueAt + key->width + 2;
    }
}

} // namespace pemberlux::sim::kv
