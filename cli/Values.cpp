#include "Values.h"

#include "core/base/NearestWord.h"

namespace pemberlux::cli {

std::optional<bool> ParseDhcp(const std::string& value) {
    if (const auto i = FindItem({"off", "on", "disable", "enable"}, value)) return *i % 2 == 1;
    return std::nullopt;
}

void UnknownSetting(const std::string& key, const std::vector<std::string>& keys) {
    const std::string near = NearestWord(key, keys);
    if (!near.empty()) Usage("unknown setting '%1'; did you mean '%2'?", {key, near});
    Usage("unknown setting '%1'; keys: %2", {key, JoinItems(keys)});
}

std::vector<std::pair<std::string, std::string>> ParseAssignments(const std::vector<std::string>& args) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const std::string& arg : args) {
        const auto eq = arg.find('=');
        if (eq == std::string::npos || eq == 0) Usage("expected KEY=VALUE, not '%1'", {arg});
        out.emplace_back(arg.substr(0, eq), arg.substr(eq + 1));
    }
    return out;
}

Json ParseProfile(std::string_view text, const std::string& name) {
    try {
        return ParseProfileText(text, name);
    } catch (const ProfileError& e) {
        Fail(e);
    }
}

Json ReadProfileFile(const std::string& path) {
    try {
        return ReadProfile(path);
    } catch (const ProfileError& e) {
        Fail(e);
    }
}

} // namespace pemberlux::cli
