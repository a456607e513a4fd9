#include "Values.h"

#include "core/label/LabelSettings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace pemberlux::cli {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The deepest nesting of arrays and objects in a JSON text, counted without
// parsing it (brackets inside strings do not count); stops past `limit`.
int NestingDepth(std::string_view text, int limit) {
    int depth = 0, deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
            if (deepest > limit) return deepest;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

} // namespace

std::optional<int> FindItem(const std::vector<std::string>& items, const std::string& value) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (Lower(items[i]) == Lower(value)) return static_cast<int>(i);
    return std::nullopt;
}

std::string JoinItems(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

std::optional<double> ParseDecimal(const std::string& text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    std::size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++digits;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digits) return std::nullopt;
    return std::strtod(text.c_str(), nullptr);
}

std::optional<long> ParseInteger(const std::string& text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size()) return std::nullopt;
    for (std::size_t k = i; k < text.size(); ++k)
        if (!std::isdigit(static_cast<unsigned char>(text[k]))) return std::nullopt;
    return std::strtol(text.c_str(), nullptr, 10);
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

std::string ValueText(const Json& value) {
    if (value.is_string()) return value.get<std::string>();
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json MillimetresValue(const std::string& text) {
    const auto mm = ParseDecimal(text);
    return mm ? Json(*mm) : Json(nullptr);
}

bool IsMillimetres(const std::string& text) {
    return ParseDecimal(text) && !CheckEditRange(text).clamped;
}

Json ParseProfile(std::string_view text, const std::string& name) {
    if (NestingDepth(text, PROFILE_MAX_DEPTH) > PROFILE_MAX_DEPTH)
        Fail(EXIT_FILE, "%1: not a printer profile (nested deeper than %2)", {name, std::to_string(PROFILE_MAX_DEPTH)});
    Json profile = Json::parse(text.begin(), text.end(), nullptr, false);
    const auto refuse = [&](const std::string& why) {
        Fail(EXIT_FILE, "%1: not a printer profile (%2)", {name, why});
    };
    if (profile.is_discarded()) Fail(EXIT_FILE, "%1: not a printer profile", {name});
    if (!profile.is_object()) refuse(Tr("not a JSON object"));
    const auto family = profile.find("family");
    if (family == profile.end() || !family->is_string() || (*family != "label" && *family != "receipt"))
        refuse(Tr("\"family\" must be \"label\" or \"receipt\""));
    const auto settings = profile.find("settings");
    if (settings == profile.end() || !settings->is_object()) refuse(Tr("\"settings\" must be an object"));
    for (const auto& item : settings->items())
        if (item.value().is_structured()) refuse(Tr("setting \"%1\" is not a single value", {item.key()}));
    const auto model = profile.find("model");
    if (model != profile.end() && !model->is_string()) refuse(Tr("\"model\" must be a text"));
    const auto firmware = profile.find("firmware_version");
    if (firmware != profile.end() && !firmware->is_string() && !firmware->is_null())
        refuse(Tr("\"firmware_version\" must be a text or null"));
    return profile;
}

Json ReadProfileFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail(EXIT_FILE, "%1: cannot be read", {path});
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) Fail(EXIT_FILE, "%1: cannot be read", {path});
    return ParseProfile(text.str(), path);
}

} // namespace pemberlux::cli
