// How the command line reads what it is given: numbers, list items, KEY=VALUE
// arguments and profile files. Nothing here talks to a printer, so the fuzz
// targets link these parsers alone.
#pragma once

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pemberlux::cli {

using Json = nlohmann::ordered_json;

enum ExitCode : int {
    EXIT_OK = 0,
    EXIT_PRINTER = 1, // the printer refused or answered badly
    EXIT_USAGE = 2,
    EXIT_OPEN = 3, // the port could not be opened
    EXIT_TIMEOUT = 4,
    EXIT_VERIFY = 5, // verification found a difference
    EXIT_FILE = 6,   // a file could not be read
    EXIT_INTERRUPTED = 130, // Ctrl-C, or no at a confirmation
};

// The command line's own texts (res/cli.def): `english` as the code writes it,
// in Chinese when the calling thread's language is Chinese and the table has
// it; "%1", "%2", ... are replaced by `args` in order. A text the table lacks
// (the printers' messages, already in their language) stands as given.
std::string Tr(std::string_view english, std::initializer_list<std::string> args = {});
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

// KEY=VALUE arguments, in order; a usage failure for anything else.
std::vector<std::pair<std::string, std::string>> ParseAssignments(const std::vector<std::string>& args);

// "Off" / "on" / "Label Paper" against a list: the index, compared without case.
std::optional<int> FindItem(const std::vector<std::string>& items, const std::string& value);
std::string JoinItems(const std::vector<std::string>& items);

// Strict decimal numbers: the whole text must be one.
std::optional<double> ParseDecimal(const std::string& text);
std::optional<long> ParseInteger(const std::string& text);

// A JSON value as the text a KEY=VALUE argument would carry.
std::string ValueText(const Json& value);

// A label offset as the printer's settings reply gives it ("0.13") to the
// number shown, and whether a text is an offset `label set` takes (a decimal
// number whose whole part lies in -4095..4095). Shown, then given back as
// ValueText, every offset the printer can hold in that range names the same dots.
Json MillimetresValue(const std::string& text);
bool IsMillimetres(const std::string& text);

// Profiles are two levels deep; deeper nesting than this is refused before it is parsed.
inline constexpr int PROFILE_MAX_DEPTH = 32;

// A profile's text as JSON, checked for shape: an object with "family" ("label"
// or "receipt") and a "settings" object whose values are null, booleans, numbers
// or texts; "model" and "firmware_version", when present, texts (the latter
// also null). Anything else is a failure (EXIT_FILE) that names `name`.
Json ParseProfile(std::string_view text, const std::string& name);
// The same from a file.
Json ReadProfileFile(const std::string& path);

} // namespace pemberlux::cli
