// Printer profiles: a printer's settings as one JSON document, which the
// command line and the settings pages both write and read:
//
//   {"model": "LB-610", "family": "label", "settings": {"print_speed": "2", ...},
//    "firmware_version": "LB-610 V1.16 2024-06-18"}
//
// and the readers of the single values such a document (or a KEY=VALUE
// argument) carries. How each family's settings map to keys and values is in
// SettingsProfile.h.
#pragma once

#include "core/base/Models.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pemberlux {

using ProfileJson = nlohmann::ordered_json;

// Profiles are two levels deep; deeper nesting than this is refused before it is parsed.
inline constexpr int PROFILE_MAX_DEPTH = 32;

// "%1" .. "%9" in an English message format replaced by `args`; what the command
// line translates is the format, what it shows is the same filled in.
std::string FillFormat(std::string_view format, const std::vector<std::string>& args);

// A profile that cannot be read, is no profile, or cannot be written. The
// message names the file and the system's reason ("shop.json: cannot be read:
// No such file or directory"); format() is its English format, with "%1" the
// file's name and "%2" a detail (for Unwritable too, the system's reason).
class ProfileError : public std::runtime_error {
public:
    enum Kind { Unreadable, NotAProfile, Unwritable };
    ProfileError(Kind kind, std::string format, std::vector<std::string> args)
        : std::runtime_error(FillFormat(format, args)), kind_(kind), format_(std::move(format)),
          args_(std::move(args)) {}
    Kind kind() const { return kind_; }
    const std::string& format() const { return format_; }
    const std::vector<std::string>& args() const { return args_; }

private:
    Kind kind_;
    std::string format_;
    std::vector<std::string> args_;
};

// "label" or "receipt", as a profile's "family" says it.
const char* ProfileFamilyName(PrinterFamily family);

// The document: `model` is the model's English name, `firmwareVersion` a text or null.
ProfileJson MakeProfile(const std::string& model, PrinterFamily family, ProfileJson settings,
                        ProfileJson firmwareVersion);
// As a file holds it: indented by two, one line break at the end.
std::string ProfileText(const ProfileJson& profile);

// A profile's text as JSON, checked for shape: an object with "family" ("label"
// or "receipt") and a "settings" object whose values are null, booleans, numbers
// or texts; "model" and "firmware_version", when present, texts (the latter
// also null). Anything else is a NotAProfile error that names `name`.
ProfileJson ParseProfileText(std::string_view text, const std::string& name);
// The same from a file.
ProfileJson ReadProfile(const std::string& path);
// ProfileText into `path`, replacing what it held (ReplaceFile); an Unwritable
// error names the file and the system's reason, and the old file stays.
void WriteProfile(const std::string& path, const ProfileJson& profile);

// ---- Single values -----------------------------------------------------------

// "Off" / "on" / "Label Paper" against a list: the index, compared without case.
std::optional<int> FindItem(const std::vector<std::string>& items, const std::string& value);
std::string JoinItems(const std::vector<std::string>& items);

// Strict decimal numbers: the whole text must be one.
std::optional<double> ParseDecimal(const std::string& text);
std::optional<long> ParseInteger(const std::string& text);

// A JSON value as the text a KEY=VALUE argument would carry.
std::string ValueText(const ProfileJson& value);

} // namespace pemberlux
