#include "Commands.h"

#include "core/base/UiText.h"
#include "core/port/PortCommands.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cmath>
#include <optional>

namespace pemberlux::cli {

namespace {

void Simple(CLI::App& group, Action& action, const char* name, const char* help, std::function<void(Context&)> body) {
    group.add_subcommand(name, help)->callback([&action, body] {
        action = [body](Context& ctx) {
            RequireFamily(ctx, PrinterFamily::Label);
            body(ctx);
        };
    });
}

} // namespace

void RequireFamily(const Context& ctx, PrinterFamily family) {
    const PrinterModel* model = ctx.ModelOrNull();
    if (!model || model->family == family) return;
    Usage(model->family == PrinterFamily::Label ? "%1 is a label printer" : "%1 is a receipt printer",
          {ModelName(*model, LANG_ENGLISH)});
}

void KeepReportedLine(Context& ctx, const PortSettings& reported) {
    // The line parameters a printer on a serial line reports are kept (pemberlux.ini with --save).
    if (ctx.Settings().portKind == PORT_COM) ctx.Settings() = reported;
}

void ResetToFactory(Context& ctx, const FactoryResetSequence& sequence, const char* what,
                    Json (*settingsOf)(Context&, const ExchangeResult&)) {
    FactoryResetRun run;
    const auto adopt = [&ctx] {
        ApplyFactoryLineSettings(ctx.Settings());
        // The printer is on its factory line whatever happens next.
        ctx.SaveIfAsked();
        return true;
    };
    ctx.Run([&](PrinterPort& port, const JobLimits& job) {
        run = RunFactoryReset(port, sequence, job, {{}, adopt});
        return run.reset;
    });
    // Taken: the reset is told whatever the read-back gives.
    Json settings = nullptr;
    std::optional<Failure> readBackFailed;
    try {
        ExchangeResult readBack;
        readBack.status = ExchangeResult::Stopped; // stopped before the read-back
        if (run.readBack) readBack = *run.readBack;
        ctx.Check(readBack, ctx.Kind());
        settings = settingsOf(ctx, readBack);
    } catch (const Failure& failure) {
        readBackFailed = failure;
    }
    ctx.Print({{what, true}, {"settings", settings}});
    if (readBackFailed) throw *readBackFailed;
}

Json ReadLabelSettings(Context& ctx) {
    return LabelSettingsOf(ctx, ctx.Run([&ctx](PrinterPort& port, const JobLimits& job) {
        return QueryLabelSettings(port, job, ctx.Timeout(LB_REPLY_TIMEOUT));
    }));
}

Json LabelSettingsOf(Context& ctx, const ExchangeResult& result) {
    return SettingsDocument<LabelSettingValues>(ctx, result, LabelSettingsReplyComplete, DecodeLabelSettings);
}

Json SentValues(const Assignments& assignments, const Json& shown) {
    Json sent = Json::object();
    for (const auto& assignment : assignments)
        sent[assignment.first] = shown[assignment.first];
    return sent;
}

Bytes BuildLabelSet(const Context& ctx, const Assignments& assignments, Json* sent) {
    const auto [values, marks] =
        AssignedSettings<LabelSettingValues, LabelChangedMarks>(ctx, assignments, LabelSettingKeys(), sent);
    return BuildLabelSettingsFrame(marks, values, ctx.Settings());
}

Json ReadLabelInfo(Context& ctx) {
    Json doc = Json::object();
    const std::pair<LabelTextQuery, const char*> queries[] = {{LabelTextQuery::SerialNumber, "serial_number"},
                                                              {LabelTextQuery::FirmwareVersion, "firmware_version"},
                                                              {LabelTextQuery::Statistics, "head_mileage"}};
    for (const auto& entry : queries) {
        // A copy to capture: clang before 16 captures no structured binding.
        const LabelTextQuery query = entry.first;
        const ExchangeResult result = ctx.Run([&ctx, query](PrinterPort& port, const JobLimits& job) {
            return QueryLabelText(port, query, job, ctx.Timeout(LB_REPLY_TIMEOUT));
        });
        doc[entry.second] = DecodeLabelTextReply(result.reply, ctx.Language());
    }
    // The mileage as a number, its unit in the key.
    const auto metres = HeadMileageMetres(doc["head_mileage"].get<std::string>());
    doc.erase("head_mileage");
    doc["head_mileage_m"] = metres ? Json(*metres) : Json(nullptr);
    return doc;
}

void AddLabelCommands(CLI::App& app, Context& ctx, Action& action) {
    CLI::App* label = app.add_subcommand("label", "label printer settings (LB-610, LB-710, LB-600)");
    label->require_subcommand(1);
    Simple(*label, action, "get", "read the printer's settings", [](Context& c) { c.Print(ReadLabelSettings(c)); });

    auto* set = label->add_subcommand("set", "send settings: KEY=VALUE ... (only these are sent)");
    auto assignments = std::make_shared<std::vector<std::string>>();
    const CLI::Option* positional = set->add_option("assignments", *assignments, "KEY=VALUE")->required();
    std::string keys = "Settings (values without case; emulation follows the model and language):\n";
    CompletionWords completion;
    for (const SettingEntry& entry : LABEL_SETTINGS) {
        if (entry.pos != LS_EMULATION) {
            DescribeSetting(entry, keys, completion);
            continue;
        }
        // The emulations the model and language offer.
        const auto words = LabelListWords(entry.pos, ctx.Settings());
        std::vector<std::string> items(words.begin(), words.end());
        keys += "  " + std::string(entry.key) + ": " + JoinItems(items) + "\n";
        completion.keys.emplace_back(entry.key, std::move(items));
    }
    set->footer(keys);
    SetCompletion(positional, std::move(completion));
    set->callback([&action, assignments] {
        action = [assignments](Context& c) {
            RequireFamily(c, PrinterFamily::Label);
            const Assignments parsed = ParseAssignments(*assignments);
            Json sent;
            const Bytes frame = BuildLabelSet(c, parsed, &sent);
            c.Exchange(frame, nullptr);
            c.Print({{"sent", sent}});
        };
    });

    Simple(*label, action, "reset", "restore the factory settings", [](Context& c) {
        c.Confirm("Restore the factory settings of the printer at %1?", {c.Where()});
        ResetToFactory(c, LabelFactoryReset(c.Timeout(LB_REPLY_TIMEOUT)), "reset", LabelSettingsOf);
    });
    Simple(*label, action, "calibrate", "calibrate the labels", [](Context& c) {
        c.Exchange(LB_FRAME_CALIBRATE, nullptr);
        c.Print({{"calibrate", true}});
    });
    Simple(*label, action, "self-test", "print the self-test page", [](Context& c) {
        c.Exchange(LB_FRAME_SELF_TEST, nullptr);
        c.Print({{"self_test", true}});
    });
    Simple(*label, action, "info", "serial number, firmware version and head mileage",
           [](Context& c) { c.Print(ReadLabelInfo(c)); });
}

} // namespace pemberlux::cli
