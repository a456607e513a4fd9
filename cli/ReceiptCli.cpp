#include "Commands.h"

#include "core/base/UiText.h"

#include <CLI/CLI.hpp>

namespace pemberlux::cli {

namespace {

std::vector<std::string> Items(const ReceiptSettingInfo& info) {
    return TemplateItems(IDD_INTERNAL_SETUP_TR510, info.control, LANG_ENGLISH);
}

} // namespace

Json ReadReceiptSettings(Context& ctx) {
    return ReceiptSettingsOf(ctx, ctx.Run([&ctx](PrinterPort& port, const JobLimits& job) {
        return QueryReceiptSettings(port, job, ctx.Timeout(RC_REPLY_TIMEOUT));
    }));
}

Json ReceiptSettingsOf(Context& ctx, const ExchangeResult& result) {
    if (!ReceiptReplyComplete(result.reply)) throw Failure(EXIT_PRINTER, ctx.Text(StringId::SettingsNotRead));
    PortSettings reported = ctx.Settings();
    ReceiptSettingValues values;
    DecodeReceiptSettings(result.reply, reported, values);
    KeepReportedLine(ctx, reported);
    return ProfileSettings(values, TargetOf(ctx));
}

Bytes BuildReceiptSet(const Context& ctx, const Assignments& assignments, Json* sent) {
    if (assignments.empty()) Usage("nothing to set: give KEY=VALUE; keys: %1", {ReceiptSettingKeys(ctx.ModelOrNull())});
    ReceiptSettingValues values;
    ReceiptChangedMarks marks;
    if (const auto problem = SettingsFromAssignments(assignments, TargetOf(ctx), values, marks))
        Usage(*problem);
    if (sent) *sent = SentValues(assignments, ProfileSettings(values, TargetOf(ctx)));
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
    for (const ReceiptSettingInfo& info : RECEIPT_SETTINGS) {
        completion.keys.emplace_back(SnakeName(info.name),
                                     info.IsList() ? Items(info) : std::vector<std::string>{});
        keys += "  " + SnakeName(info.name) + ": ";
        keys += info.IsList()
                    ? JoinItems(Items(info))
                    : "millimetres, " + std::to_string(info.lowerLimit) + " to " + std::to_string(RC_DISTANCE_MAX);
        keys += "\n";
    }
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
                const ExchangeResult readBack =
                    ResetToFactory(c, ReceiptFactoryReset(c.Settings().language, c.Timeout(RC_REPLY_TIMEOUT)));
                c.Print({{"restore", true}, {"settings", ReceiptSettingsOf(c, readBack)}});
            };
        });
}

} // namespace pemberlux::cli
