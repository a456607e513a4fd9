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

// Refuses a model of the other family.
void RequireFamily(const Context& ctx, PrinterFamily family);

// Takes the serial line a printer reported in its settings when it is on one.
void KeepReportedLine(Context& ctx, const PortSettings& reported);
// Runs a family's factory reset as the settings pages do: once the printer took
// the frame, the factory line is taken over (and saved with --save at once);
// the answer is the settings' read-back on that line.
ExchangeResult ResetToFactory(Context& ctx, const FactoryResetSequence& sequence);

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

// The keys of `assignments` with their values as `shown` (a family's settings document) has them.
Json SentValues(const Assignments& assignments, const Json& shown);

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
