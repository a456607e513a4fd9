#include "Commands.h"

#include "core/base/UiText.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>
#include <memory>

namespace pemberlux::cli {

namespace {

PrinterFamily FamilyOf(const Context& ctx) {
    return ctx.Model().family;
}

// A profile file, or standard input for "-".
Json ReadProfile(const Context& ctx, const std::string& path) {
    if (path != STANDARD_STREAM) return ReadProfileFile(path);
    const Bytes text = ReadStandardInput(ctx);
    return ParseProfile(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), Tr("standard input"));
}

Json ReadPrinter(Context& ctx) {
    const PrinterModel& model = ctx.Model();
    if (model.family == PrinterFamily::Label) {
        Json settings = ReadLabelSettings(ctx);
        const ReplyRule rule = ctx.WithTimeout(LabelReplyRule(false));
        const ExchangeResult result = ctx.Exchange(TextQueryFrame(LabelTextQuery::FirmwareVersion), &rule);
        return MakeProfile(ModelName(model, LANG_ENGLISH), model.family, std::move(settings),
                           DecodeLabelTextReply(result.reply, ctx.Language()));
    }
    // The receipt printers do not tell their firmware version.
    return MakeProfile(ModelName(model, LANG_ENGLISH), model.family, ReadReceiptSettings(ctx), nullptr);
}

// The profile's family against the printer's: a profile of the other family is refused.
void RequireSameFamily(const Context& ctx, const Json& profile, const std::string& path) {
    if (profile["family"] != ProfileFamilyName(FamilyOf(ctx)))
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

// Every setting whose value differs between two sides, in the order the first
// side and then the second name them. A setting one side lacks or holds as
// null is missing there (null in the row); missing on both is no difference,
// so the rows are the same whichever side comes first.
Json SymmetricDifferences(const Json& first, const Json& second, const char* firstName, const char* secondName) {
    const auto value = [](const Json& side, const std::string& key) {
        const auto found = side.find(key);
        return found == side.end() ? Json(nullptr) : *found;
    };
    Json rows = Json::array();
    std::vector<std::string> seen;
    for (const Json* side : {&first, &second})
        for (const auto& item : side->items()) {
            const std::string& key = item.key();
            if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
            seen.push_back(key);
            const Json a = value(first, key), b = value(second, key);
            if (a != b) rows.push_back({{"setting", key}, {firstName, a}, {secondName, b}});
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
    if (path == STANDARD_STREAM) {
        // Standard output carries the profile alone.
        std::cout << ProfileText(profile) << std::flush;
        if (!std::cout) Fail(EXIT_FILE, "standard output: cannot be written");
        return;
    }
    try {
        WriteProfile(path, profile);
    } catch (const ProfileError& e) {
        Fail(e);
    }
    ctx.Print({{"saved", path}, {"model", profile["model"]}, {"settings", profile["settings"].size()}});
}

void Diff(Context& ctx, const std::vector<std::string>& files) {
    Json rows;
    if (files.size() == 2) {
        if (files[0] == "-" && files[1] == "-") Usage("only one of the profiles can be standard input");
        rows = SymmetricDifferences(ReadProfile(ctx, files[0])["settings"], ReadProfile(ctx, files[1])["settings"],
                                    "first", "second");
    } else {
        const Json profile = ReadProfile(ctx, files[0]);
        RequireSameFamily(ctx, profile, files[0]);
        rows = SymmetricDifferences(ReadSettings(ctx), profile["settings"], "printer", "profile");
    }
    const bool differ = !rows.empty();
    ctx.Print({{"differences", std::move(rows)}});
    if (differ) Fail(EXIT_VERIFY, "the settings differ");
}

void Apply(Context& ctx, const std::string& path, bool verify) {
    const Json profile = ReadProfile(ctx, path);
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

void ApplyProfile(Context& ctx, const std::string& path, bool verify) {
    Apply(ctx, path, verify);
}

void AddProfileCommands(CLI::App& app, Context&, Action& action) {
    CLI::App* profile = app.add_subcommand("profile", "save, compare and apply a printer's settings as JSON");
    profile->require_subcommand(1);

    auto file = std::make_shared<std::string>();
    auto save = profile->add_subcommand("save", "every readable setting, with model, family and firmware version");
    save->add_option("file", *file, "the profile to write (- for standard output)")->required();
    save->callback([&action, file] { action = [file](Context& c) { Save(c, *file); }; });

    auto files = std::make_shared<std::vector<std::string>>();
    auto diff = profile->add_subcommand("diff", "printer against FILE, or FILE against FILE: every setting that "
                                                "differs or is missing on one side (exit 5 when they differ)");
    diff->add_option("files", *files, "one or two profiles (- for standard input)")->required()->expected(1, 2);
    diff->callback([&action, files] { action = [files](Context& c) { Diff(c, *files); }; });

    auto applyFile = std::make_shared<std::string>();
    auto verify = std::make_shared<bool>(false);
    auto apply = profile->add_subcommand("apply", "write what differs; --verify reads back and compares (exit 5)");
    apply->add_option("file", *applyFile, "the profile (- for standard input)")->required();
    apply->add_flag("--verify", *verify, "read the settings back and compare");
    apply->callback(
        [&action, applyFile, verify] { action = [applyFile, verify](Context& c) { Apply(c, *applyFile, *verify); }; });
}

} // namespace pemberlux::cli
