// How the command line reads what it is given: numbers, list items, KEY=VALUE
// arguments and profile files. Nothing here talks to a printer, so the fuzz
// targets link these parsers alone.
#pragma once

#include "core/profile/SettingsProfile.h"

#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pemberlux::cli {

using Json = ProfileJson;

enum ExitCode : int {
    EXIT_OK = 0,
    EXIT_PRINTER = 1, // the printer refused or answered badly
    EXIT_USAGE = 2,
    EXIT_OPEN = 3, // the port could not be opened
    EXIT_TIMEOUT = 4,
    EXIT_VERIFY = 5, // verification found a difference
    EXIT_FILE = 6,   // a file could not be read
    EXIT_FLEET = 7,  // some printers of a fleet failed (the report says which)
    EXIT_INTERRUPTED = 130, // Ctrl-C, or no at a confirmation
};

// The command line's own texts (res/cli.def): `english` as the code writes it,
// in Chinese when the calling thread's language is Chinese and the table has
// it; "%1", "%2", ... are replaced by `args` in order. A text the table lacks
// (the printers' messages, already in their language) stands as given.
std::string Tr(std::string_view english, std::initializer_list<std::string> args = {});
std::string Tr(std::string_view english, const std::vector<std::string>& args);
// Whether the table has the text (every text the code gives Tr must be there).
bool HasTranslation(std::string_view english);

// Ends a command: `message` goes to stderr as one line, then `detail` (what a
// failed open means here) as a second when there is one; `code` is the exit
// code. `where` names the device or address the failure happened on.
struct Failure : std::runtime_error {
    Failure(int exitCode, const std::string& message) : std::runtime_error(message), code(exitCode) {}
    int code;
    std::string detail;
    std::string where;
};
// Failure(code, Tr(english, args)).
[[noreturn]] void Fail(int code, std::string_view english, std::initializer_list<std::string> args = {});
// A usage failure (EXIT_USAGE): bad options, keys or values; nothing was sent.
[[noreturn]] void Usage(std::string_view english, std::initializer_list<std::string> args = {});
// A problem the core found in KEY=VALUE arguments, in the user's language.
[[noreturn]] void Usage(const SettingProblem& problem);
// A profile file the core could not read or write (EXIT_FILE), in the user's language.
[[noreturn]] void Fail(const ProfileError& error);

// A usage failure for a KEY=VALUE whose key is none of `keys`: the one it most
// likely meant, else all of them.
[[noreturn]] void UnknownSetting(const std::string& key, const std::vector<std::string>& keys);

// KEY=VALUE arguments, in order; a usage failure for anything else.
std::vector<std::pair<std::string, std::string>> ParseAssignments(const std::vector<std::string>& args);

// The readers of single values and profile texts are the core's (core/profile).
using pemberlux::FindItem;
using pemberlux::IsMillimetres;
using pemberlux::JoinItems;
using pemberlux::MillimetresValue;
using pemberlux::ParseDecimal;
using pemberlux::ParseInteger;
using pemberlux::PROFILE_MAX_DEPTH;
using pemberlux::ValueText;

// A DHCP switch: on or off, also the older enable or disable, without case.
std::optional<bool> ParseDhcp(const std::string& value);
inline constexpr const char* DHCP_WORDS = "on, off (or enable, disable)";

// A profile's text as JSON, checked for shape (ParseProfileText); anything else
// is a failure (EXIT_FILE) that names `name`.
Json ParseProfile(std::string_view text, const std::string& name);
// The same from a file.
Json ReadProfileFile(const std::string& path);

} // namespace pemberlux::cli
