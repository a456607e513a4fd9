// The settings of the two printer families as the commands and profiles see
// them: stable snake_case keys, values in the units a user reads.
#pragma once

#include "Cli.h"
#include "core/label/LabelCommands.h"
#include "core/profile/SettingsProfile.h"
#include "core/receipt/ReceiptCommands.h"

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace pemberlux::cli {

using Assignments = SettingAssignments;

// The printer's interface settings and model, as the settings' keys and values follow them.
inline ProfileTarget TargetOf(const Context& ctx) {
    return {ctx.Settings(), ctx.ModelOrNull()};
}

// The keys of `assignments` with their values as `shown` (a family's settings document) has them.
Json SentValues(const Assignments& assignments, const Json& shown);

// Refuses a model of the other family.
void RequireFamily(const Context& ctx, PrinterFamily family);

// Takes the serial line a printer reported in its settings when it is on one.
void KeepReportedLine(Context& ctx, const PortSettings& reported);
// Runs a family's factory reset as the settings pages do: once the printer took
// the frame, the factory line is taken over (and saved with --save at once) and
// the settings are read back on it. Prints {`what`: true, "settings": ...} once
// the printer took the frame: the read-back as `settingsOf` gives it, or null
// when it failed, which then ends the command with its failure. A frame not
// taken ends it with nothing printed.
void ResetToFactory(Context& ctx, const FactoryResetSequence& sequence, const char* what,
                    Json (*settingsOf)(Context&, const ExchangeResult&));

// ---- Either family ------------------------------------------------------------

// A settings reply as the family's settings document: `complete` says whether
// the reply is whole, `decode` reads the serial line and the settings out of
// it. The line a printer on a serial line reports is kept.
template <class Values>
Json SettingsDocument(Context& ctx, const ExchangeResult& result, bool (*complete)(std::span<const std::uint8_t>),
                      void (*decode)(std::span<const std::uint8_t>, PortSettings&, Values&)) {
    if (!complete(result.reply)) throw Failure(EXIT_PRINTER, ctx.Text(StringId::SettingsNotRead));
    PortSettings reported = ctx.Settings();
    Values values;
    decode(result.reply, reported, values);
    KeepReportedLine(ctx, reported);
    return ProfileSettings(values, TargetOf(ctx));
}

// The values and marks of `assignments`, checked whole before anything is
// sent: a usage failure names the first one not taken, or offers `keys` when
// there are none. `sent`, when given, gets each key with its value as the
// family's `get` shows it.
template <class Values, class Marks>
std::pair<Values, Marks> AssignedSettings(const Context& ctx, const Assignments& assignments, const std::string& keys,
                                          Json* sent) {
    if (assignments.empty()) Usage("nothing to set: give KEY=VALUE; keys: %1", {keys});
    std::pair<Values, Marks> out;
    if (const auto problem = SettingsFromAssignments(assignments, TargetOf(ctx), out.first, out.second))
        Usage(*problem);
    if (sent) *sent = SentValues(assignments, ProfileSettings(out.first, TargetOf(ctx)));
    return out;
}

// A schema entry as a set command's help names it ("  key: word, word" or
// "  key: millimetres, min to max"), and its words for completion.
inline void DescribeSetting(const SettingEntry& entry, std::string& help, CompletionWords& completion) {
    const std::string range = std::to_string(entry.min) + " to " + std::to_string(entry.max);
    std::vector<std::string> words = ValueWords(entry);
    help += "  " + std::string(entry.key) + ": ";
    switch (entry.kind) {
    case SettingKind::List:
        help += JoinItems(words);
        break;
    case SettingKind::Millimetres:
        help += "millimetres, " + range;
        break;
    case SettingKind::Integer:
        help += range;
        break;
    }
    help += "\n";
    completion.keys.emplace_back(entry.key, std::move(words));
}

// ---- Label printers ----------------------------------------------------------

// The seventeen settings as the printer reports them.
Json ReadLabelSettings(Context& ctx);
// The same from a settings reply already read.
Json LabelSettingsOf(Context& ctx, const ExchangeResult& reply);
// The set frame for `assignments`, checked whole before anything is sent;
// `sent`, when given, gets each key with its value as `label get` shows it.
Bytes BuildLabelSet(const Context& ctx, const Assignments& assignments, Json* sent = nullptr);
// Serial number, firmware version and head mileage (head_mileage_m, in metres).
Json ReadLabelInfo(Context& ctx);

// ---- Receipt printers --------------------------------------------------------

Json ReadReceiptSettings(Context& ctx);
Json ReceiptSettingsOf(Context& ctx, const ExchangeResult& reply);
Bytes BuildReceiptSet(const Context& ctx, const Assignments& assignments, Json* sent = nullptr);

// ---- Used by the fleet commands -----------------------------------------------

// `profile apply FILE [--verify]` on the context's printer.
void ApplyProfile(Context& ctx, const std::string& path, bool verify);
// `firmware FILE` to the context's printer.
void SendFirmware(Context& ctx, const std::string& path);

// A printer that answered a network search, with the port it prints on.
struct NetworkPrinter {
    std::string protocol; // key_value, print_server
    std::string mac;      // as the search answer spells it
    std::string ip;
    std::string name;
    std::string firmware; // the network module's or print server's, not the printer's
    std::string serialNumber;
    int printPort = 9100;
};
// Both searches once (as `discover`); a print server's print port is read
// from its settings, 9100 when they cannot be read.
std::vector<NetworkPrinter> DiscoverPrinters(const Context& ctx, std::chrono::milliseconds limit);

} // namespace pemberlux::cli
