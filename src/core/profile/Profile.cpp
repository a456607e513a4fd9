#include "core/profile/Profile.h"

#include "core/base/FileText.h"
#include "core/base/ReplaceFile.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace pemberlux {

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

const char* ProfileFamilyName(PrinterFamily family) {
    return family == PrinterFamily::Label ? "label" : "receipt";
}

ProfileJson MakeProfile(const std::string& model, PrinterFamily family, ProfileJson settings,
                        ProfileJson firmwareVersion) {
    ProfileJson profile = ProfileJson::object();
    profile["model"] = model;
    profile["family"] = ProfileFamilyName(family);
    profile["settings"] = std::move(settings);
    profile["firmware_version"] = std::move(firmwareVersion);
    return profile;
}

std::string ProfileText(const ProfileJson& profile) {
    return profile.dump(2, ' ', false, ProfileJson::error_handler_t::replace) + "\n";
}

std::string FillFormat(std::string_view format, const std::vector<std::string>& args) {
    std::string out;
    out.reserve(format.size());
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char next = i + 1 < format.size() ? format[i + 1] : '\0';
        if (format[i] == '%' && next >= '1' && next <= '9' && static_cast<std::size_t>(next - '1') < args.size()) {
            out += args[static_cast<std::size_t>(next - '1')];
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

ProfileJson ParseProfileText(std::string_view text, const std::string& name) {
    const auto refuse = [&](std::string format, std::string detail = {}) {
        throw ProfileError(ProfileError::NotAProfile, std::move(format), {name, std::move(detail)});
    };
    if (NestingDepth(text, PROFILE_MAX_DEPTH) > PROFILE_MAX_DEPTH)
        refuse("%1: not a printer profile (nested deeper than %2)", std::to_string(PROFILE_MAX_DEPTH));
    ProfileJson profile = ProfileJson::parse(text.begin(), text.end(), nullptr, false);
    if (profile.is_discarded()) refuse("%1: not a printer profile");
    if (!profile.is_object()) refuse("%1: not a printer profile (not a JSON object)");
    const auto family = profile.find("family");
    if (family == profile.end() || !family->is_string() || (*family != "label" && *family != "receipt"))
        refuse("%1: not a printer profile (\"family\" must be \"label\" or \"receipt\")");
    const auto settings = profile.find("settings");
    if (settings == profile.end() || !settings->is_object())
        refuse("%1: not a printer profile (\"settings\" must be an object)");
    for (const auto& item : settings->items())
        if (item.value().is_structured())
            refuse("%1: not a printer profile (setting \"%2\" is not a single value)", item.key());
    const auto model = profile.find("model");
    if (model != profile.end() && !model->is_string()) refuse("%1: not a printer profile (\"model\" must be a text)");
    const auto firmware = profile.find("firmware_version");
    if (firmware != profile.end() && !firmware->is_string() && !firmware->is_null())
        refuse("%1: not a printer profile (\"firmware_version\" must be a text or null)");
    return profile;
}

ProfileJson ReadProfile(const std::string& path) {
    const FileText file = ReadFileText(path);
    if (file.error)
        throw ProfileError(ProfileError::Unreadable, "%1: cannot be read: %2", {path, SystemReason(file.error)});
    return ParseProfileText(file.text, path);
}

void WriteProfile(const std::string& path, const ProfileJson& profile) {
    const FileWrite written = ReplaceFile(path, ProfileText(profile));
    if (!written) throw ProfileError(ProfileError::Unwritable, "%1: cannot be written (%2)", {path, written.Reason()});
}

// ---- Single values -----------------------------------------------------------

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

std::string ValueText(const ProfileJson& value) {
    if (value.is_string()) return value.get<std::string>();
    return value.dump(-1, ' ', false, ProfileJson::error_handler_t::replace);
}

} // namespace pemberlux
