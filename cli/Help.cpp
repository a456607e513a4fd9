// The command line's help and what it says about a command line it cannot
// read: the unknown word named, and the nearest command or option offered.
#include "Cli.h"

#include "core/base/NearestWord.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace pemberlux::cli {

namespace {

// Every command's help points to the one table of exit codes, in the main help.
constexpr const char* EXIT_CODES_POINTER =
    "Exit codes: as pemberlux-cli --help and the manual page pemberlux-cli(1) list them.";

// The deepest command given ("label get" is `get`).
CLI::App* Chosen(CLI::App& app) {
    CLI::App* level = &app;
    while (true) {
        const auto chosen = level->get_subcommands();
        if (chosen.empty()) return level;
        level = chosen.front();
    }
}

std::vector<std::string> CommandNames(const CLI::App& level) {
    std::vector<std::string> names;
    for (const CLI::App* sub : level.get_subcommands({}))
        if (!sub->get_group().empty()) names.push_back(sub->get_name());
    return names;
}

// The options a command takes: its own and, as they fall through, those of the commands above it.
std::vector<std::string> OptionNames(const CLI::App& level) {
    std::vector<std::string> names;
    for (const CLI::App* app = &level; app; app = app->get_parent()) {
        for (const CLI::Option* option : app->get_options()) {
            for (const std::string& name : option->get_lnames())
                names.push_back("--" + name);
            for (const std::string& name : option->get_snames())
                names.push_back("-" + name);
        }
    }
    return names;
}

// `word` was not found among `known`: the nearest is offered, else the help.
std::string WithSuggestion(bool option, const std::string& word, const std::vector<std::string>& known) {
    const std::string near = NearestWord(word, known);
    if (option)
        return near.empty() ? Tr("'%1' is not an option; see --help", {word})
                            : Tr("'%1' is not an option; did you mean '%2'?", {word, near});
    return near.empty() ? Tr("'%1' is not a command; see --help", {word})
                        : Tr("'%1' is not a command; did you mean '%2'?", {word, near});
}

// "--timeout: 1 required INT missing" and "Could not convert: --timeout = abc": the option's name, and the value.
std::pair<std::string, std::string> OptionAndValue(const std::string& message) {
    const std::string convert = "Could not convert: ";
    if (message.compare(0, convert.size(), convert) == 0) {
        const std::string rest = message.substr(convert.size());
        const auto eq = rest.find(" = ");
        if (eq != std::string::npos) return {rest.substr(0, eq), rest.substr(eq + 3)};
    }
    return {message.substr(0, message.find(':')), ""};
}


// A command's help also lists the options every command shares.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
        if (!app->get_parent() || mode == CLI::AppFormatMode::Sub) return CLI::Formatter::make_help(app, name, mode);
        return make_description(app) + make_usage(app, name) + make_positionals(app) + make_groups(app, mode) +
               GroupOptions(app) + SharedGroups(app) + make_subcommands(app, mode) + "\n" + make_footer(app);
    }

private:
    // The options of the command groups above it ("fleet inventory" takes --targets of "fleet").
    std::string GroupOptions(const CLI::App* app) const {
        std::string out;
        for (const CLI::App* group = app->get_parent(); group && group->get_parent(); group = group->get_parent()) {
            const auto own = group->get_options(
                [&](const CLI::Option* o) { return o->nonpositional() && o != group->get_help_ptr(); });
            if (!own.empty()) out += make_group(group->get_name() + " options", false, own);
        }
        return out;
    }

    std::string SharedGroups(const CLI::App* app) const {
        std::string out;
        const CLI::App* root = app;
        while (root->get_parent())
            root = root->get_parent();
        for (const std::string& group : root->get_groups()) {
            const auto shared = root->get_options([&](const CLI::Option* o) {
                return o->get_group() == group && o->nonpositional() && o != root->get_help_ptr() &&
                       o != root->get_option_no_throw("--version");
            });
            if (!group.empty() && !shared.empty()) out += make_group(group, false, shared);
        }
        return out;
    }
};

void SetFooters(CLI::App& level) {
    for (CLI::App* sub : level.get_subcommands({})) {
        sub->fallthrough();
        const std::string own = sub->get_footer();
        sub->footer(own.empty() ? EXIT_CODES_POINTER : own + "\n" + EXIT_CODES_POINTER);
        SetFooters(*sub);
    }
}

} // namespace

// "label get": the command that ran, for the error line.
std::string CommandName(CLI::App& app) {
    std::string name;
    for (const CLI::App* level = Chosen(app); level->get_parent(); level = level->get_parent())
        name = level->get_name() + (name.empty() ? "" : " ") + name;
    return name;
}

// A parse error in words that name what was wrong and what may have been meant.
std::string ParseErrorText(CLI::App& app, const CLI::ParseError& e) {
    const CLI::App& level = *Chosen(app);
    const std::vector<std::string> left = app.remaining(true);
    if (!left.empty()) {
        const std::string& word = left.front();
        const std::string option = word.substr(0, word.find('='));
        // An option of the command given before it: the shared options come first, the command's own after it.
        const std::vector<std::string> own = OptionNames(level);
        if (option.size() > 1 && option[0] == '-' && std::find(own.begin(), own.end(), option) != own.end())
            return Tr("'%1' is an option of '%2': give it after the command (%3 %1)",
                      {option, CommandName(app), CommandName(app)});
        if (word.size() > 1 && word[0] == '-') return WithSuggestion(true, option, own);
        if (!CommandNames(level).empty() && level.get_subcommands().empty())
            return WithSuggestion(false, word, CommandNames(level));
        return Tr("unexpected argument '%1'; see --help", {word});
    }
    if (dynamic_cast<const CLI::RequiredError*>(&e)) {
        if (!CommandNames(level).empty() && level.get_subcommands().empty())
            return Tr("a command is needed: %1; see --help", {JoinItems(CommandNames(level))});
        for (const CLI::Option* option : level.get_options())
            if (option->get_required() && option->count() == 0)
                return Tr("'%1' is missing; see --help", {option->get_name()});
    }
    const auto [option, value] = OptionAndValue(e.what());
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) && !option.empty() && option[0] == '-')
        return Tr("'%1' needs a value; see --help", {option});
    if (dynamic_cast<const CLI::ConversionError*>(&e) && !value.empty())
        return Tr("%1: '%2' is not a number", {option, value});
    return e.what();
}

void UseSharedHelp(CLI::App& app) {
    app.formatter(std::make_shared<HelpFormatter>());
}

void FinishCommands(CLI::App& app, const std::string& exitCodes) {
    SetFooters(app);
    app.footer(exitCodes);
}

} // namespace pemberlux::cli
