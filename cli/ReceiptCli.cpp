#include "Commands.h"

#include <CLI/CLI.hpp>

namespace pemberlux::cli {

Json ReadReceiptSettings(Context& ctx) {
    return ReceiptSettingsOf(ctx, ctx.Run([&ctx](PrinterPort& port, const JobLimits& job) {
        return QueryReceiptSettings(port, job, ctx.Timeout(RC_REPLY_TIMEOUT));
    }));
}

Json ReceiptSettingsOf(Context& ctx, const ExchangeResult& result) {
    return SettingsDocument<ReceiptSettingValues>(ctx, result, ReceiptSettingsReplyComplete, DecodeReceiptSettings);
}

Bytes BuildReceiptSet(const Context& ctx, const Assignments& assignments, Json* sent) {
    const auto [values, marks] = AssignedSettings<ReceiptSettingValues, ReceiptChangedMarks>(
        ctx, assignments, ReceiptSettingKeys(ctx.ModelOrNull()), sent);
    return BuildReceiptSettingsFrame(marks, values);
}

void AddReceiptCommands(CLI::App& app, Context&, Action& action) {
    CLI::App* receipt = app.add_subcommand("receipt", "receipt printer settings (TR-510, TR-520 or TR-530)");
    receipt->require_subcommand(1);
    auto guard = [](Context& c) { RequireFamily(c, PrinterFamily::Receipt); };

    receipt->add_subcommand("get", "read the printer's settings")->callback([&action, guard] {
        action = [guard](Context& c) {
            guard(c);
            c.Print(ReadReceiptSettings(c));
        };
    });
    auto* set = receipt->add_subcommand("set", "send settings: KEY=VALUE ... (only these are sent)");
    auto assignments = std::make_shared<std::vector<std::string>>();
    const CLI::Option* positional = set->add_option("assignments", *assignments, "KEY=VALUE")->required();
    std::string keys = "Settings (values without case; cutter_switch only on printers with a cutter):\n";
    CompletionWords completion;
    for (const SettingEntry& entry : RECEIPT_SETTINGS)
        DescribeSetting(entry, keys, completion);
    set->footer(keys);
    SetCompletion(positional, std::move(completion));
    set->callback([&action, assignments, guard] {
        action = [assignments, guard](Context& c) {
            guard(c);
            const Assignments parsed = ParseAssignments(*assignments);
            Json sent;
            const Bytes frame = BuildReceiptSet(c, parsed, &sent);
            c.Exchange(frame, nullptr);
            c.Print({{"sent", sent}});
        };
    });
    receipt->add_subcommand("restore", "restore the factory settings; the printer language follows --lang")
        ->callback([&action, guard] {
            action = [guard](Context& c) {
                guard(c);
                c.Confirm("Restore the factory settings of the printer at %1?", {c.Where()});
                ResetToFactory(c, ReceiptFactoryReset(c.Settings().language, c.Timeout(RC_REPLY_TIMEOUT)), "restore",
                               ReceiptSettingsOf);
            };
        });
}

} // namespace pemberlux::cli
