#include "core/base/SerialDevices.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace pemberlux {

std::pair<std::string, long> SplitDeviceName(const std::string& name) {
    std::size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1])))
        --digits;
    if (digits == name.size() || name.size() - digits > 9) return {name, -1};
    return {name.substr(0, digits), std::stol(name.substr(digits))};
}

std::vector<std::string> ListSerialDevices(const std::filesystem::path& devRoot) {
    static const char* const prefixes[] = {"ttyUSB", "ttyACM", "ttyAMA", "rfcomm"};
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(devRoot, ec)) {
        const std::string name = entry.path().filename().string();
        for (const char* prefix : prefixes) {
            const std::string p = prefix;
            if (name.size() > p.size() && name.compare(0, p.size(), p) == 0 &&
                std::isdigit(static_cast<unsigned char>(name[p.size()]))) {
                names.push_back(name);
            }
        }
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        auto [pa, na] = SplitDeviceName(a);
        auto [pb, nb] = SplitDeviceName(b);
        auto rank = [](const std::string& prefix) {
            for (int i = 0; i < 4; ++i) {
                static const char* const order[] = {"ttyUSB", "ttyACM", "ttyAMA", "rfcomm"};
                if (prefix == order[i]) return i;
            }
            return 4;
        };
        if (rank(pa) != rank(pb)) return rank(pa) < rank(pb);
        if (pa != pb) return pa < pb;
        return na < nb;
    });
    std::vector<std::string> paths;
    for (const std::string& n : names)
        paths.push_back((devRoot / n).string());
    return paths;
}

} // namespace pemberlux
