// Wire bytes written as the description writes them: "1B 0D 53 ...".
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace pemberlux::test {

inline std::vector<std::uint8_t> HexBytes(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::istringstream in(text);
    std::string pair;
    while (in >> pair)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
    return bytes;
}

inline std::vector<std::uint8_t> AsciiBytes(const std::string& text) {
    return {text.begin(), text.end()};
}

inline std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace pemberlux::test
