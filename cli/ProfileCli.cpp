#include "Commands.h"

#include "core/base/UiText.h"

#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>
#include <memory>

namespace pemberlux::cli {

namespace {

const char* FamilyName(PrinterFamily family) {
    return family == PrinterFamily::Label ? "label" : "receipt";
}

PrinterFamily FamilyOf(const Context& ctx) {
    return ctx.Model().family;
}

Json ReadPrinter(Context& ctx) {
    const PrinterModel& model = ctx.Model();
    Json profile = Json::object();
    profile["model"] = ModelName(model, LANG_ENGLISH);
    profile["family"] = FamilyName(model.family);
    if (model.family == PrinterFamily::Label) {
        profile["settings"] = ReadLabelSettings(ctx);
        const ReplyRule rule = ctx.WithTimeout(LabelReplyRule(false));
        const ExchangeResult result = ctx.Exchange(TextQueryFrame(LabelTextQuery::FirmwareVersion), &rule);
        profile["firmware_version"] = DecodeTextReply(result.reply, ctx.Language());
    } else {
        profile["settings"] = ReadReceiptSettings(ctx);
        profile["firmware_version"] = nullptr; // the receipt printers do not tell it
    }
    return profile;
}

// The profile's family against the printer's: a profile of the other family is refused.
void RequireSameFamily(const Context& ctx, const Json& profile, const std::string& path) {
    if (profile["family"] != FamilyName(FamilyOf(ctx)))
        Usage(FamilyOf(ctx) == PrinterFamily::Label ? "%1: a receipt profile, and the printer is a label printer"
                                                    : "%1: a label profile, and the printer is a receipt printer",
              {path});
}

// Settings whose values differ; a setting the profile leaves out (or null) is not compared.
Json Differences(const Json& printer, const Json& profile) {
    Json rows = Json::array();
    for (const auto& [key, wanted] : profile.items()) {
        if (wanted.is_null()) continue;
        const Json have = printer.contains(key) ? printer[key] : Json(nullptr);
        if (have != wanted) rows.push_back({{"setting", key}, {"printer", have}, {"profile", wanted}});
    }
    return rows;
}

Bytes BuildSet(const Context& ctx, const Assignments& assignments) {
    return FamilyOf(ctx) == PrinterFamily::Label ? BuildLabelSet(ctx, assignments) : BuildReceiptSet(ctx, assignments);
}

Json ReadSettings(Context& ctx) {
    return FamilyOf(ctx) == PrinterFamily::Label ? ReadLabelSettings(ctx) : ReadReceiptSettings(ctx);
}

void Save(Context& ctx, const std::string& path) {
    const Json profile = ReadPrinter(ctx);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << profile.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    out.close();
    if (!out) Fail(EXIT_FILE, "%1: cannot be written", {path});
    ctx.Print({{"saved", path}, {"model", profile["model"]}, {"settings", profile["settings"].size()}});
}

void Diff(Context& ctx, const std::vector<std::string>& files) {
    Json left, right;
    if (files.size() == 2) {
        left = ReadProfileFile(files[0])["settings"];
        right = ReadProfileFile(files[1])["settings"];
    } else {
        const Json profile = ReadProfileFile(files[0]);
        RequireSameFamily(ctx, profile, files[0]);
        left = ReadSettings(ctx);
        right = profile["settings"];
    }
    Json rows = Differences(left, right);
    if (files.size() == 2) {
        for (Json& row : rows) {
            row["first"] = row["printer"];
            row["second"] = row["profile"];
            row.erase("printer");
            row.erase("profile");
        }
    }
    const bool differ = !rows.empty();
    ctx.Print({{"differences", std::move(rows)}});
    if (differ) Fail(EXIT_VERIFY, "the settings differ");
}

void Apply(Context& ctx, const std::string& path, bool verify) {
    const Json profile = ReadProfileFile(path);
    RequireSameFamily(ctx, profile, path);
    const Json& wanted = profile["settings"];
    // Every value of the profile is checked before anything is sent.
    Assignments all;
    for (const auto& [key, value] : wanted.items())
        if (!value.is_null()) all.emplace_back(key, ValueText(value));
    if (!all.empty()) BuildSet(ctx, all);

    Assignments changes;
    for (const Json& row : Differences(ReadSettings(ctx), wanted))
        changes.emplace_back(row["setting"].get<std::string>(), ValueText(row["profile"]));
    if (!changes.empty()) ctx.Exchange(BuildSet(ctx, changes), nullptr);

    Json written = Json::array();
    for (const auto& [key, value] : changes)
        written.push_back(key);
    Json doc = {{"written", written}};
    if (verify) {
        const Json mismatches = Differences(ReadSettings(ctx), wanted);
        doc["verified"] = mismatches.empty();
        doc["mismatches"] = mismatches;
        ctx.Print(doc);
        if (!mismatches.empty()) {
            std::string names;
            for (const Json& row : mismatches)
                names += (names.empty() ? "" : ", ") + Tr("%1 is %2, not %3", {row["setting"].get<std::string>(),
                                                                                ValueText(row["printer"]),
                                                                                ValueText(row["profile"])});
            Fail(EXIT_VERIFY, "verification failed: %1", {names});
        }
        return;
    }
    ctx.Print(doc);
}

} // namespace

void AddProfileCommands(CLI::App& app, Context&, Action& action) {
    CLI::App* profile = app.add_subcommand("profile", "save, compare and apply a printer's settings as JSON");
    profile->require_subcommand(1);

    auto file = std::make_shared<std::string>();
    auto save = profile->add_subcommand("save", "every readable setting, with model, family and firmware version");
    save->add_option("file", *file, "the profile to write")->required();
    save->callback([&action, file] { action = [file](Context& c) { Save(c, *file); }; });

    auto files = std::make_shared<std::vector<std::string>>();
    auto diff = profile->add_subcommand("diff", "printer against FILE, or FILE against FILE (exit 5 when they differ)");
    diff->add_option("files", *files, "one or two profiles")->required()->expected(1, 2);
    diff->callback([&action, files] { action = [files](Context& c) { Diff(c, *files); }; });

    auto applyFile = std::make_shared<std::string>();
    auto verify = std::make_shared<bool>(false);
    auto apply = profile->add_subcommand("apply", "write what differs; --verify reads back and compares (exit 5)");
    apply->add_option("file", *applyFile, "the profile")->required();
    apply->add_flag("--verify", *verify, "read the settings back and compare");
    apply->callback(
        [&action, applyFile, verify] { action = [applyFile, verify](Context& c) { Apply(c, *applyFile, *verify); }; });
}

} // namespace pemberlux::cli
