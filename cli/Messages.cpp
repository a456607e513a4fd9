// The command line's own texts in the user's language.
#include "Values.h"

#include "core/base/UiText.h"

#include <string_view>
#include <unordered_map>

namespace pemberlux::cli {

namespace {

const std::unordered_map<std::string_view, std::string_view>& Chinese() {
    static const std::unordered_map<std::string_view, std::string_view> table = {
#define CLI_TEXT(en, zh) {en, zh},
#include "cli.def"
#undef CLI_TEXT
    };
    return table;
}

} // namespace

bool HasTranslation(std::string_view english) {
    return Chinese().count(english) != 0;
}

std::string Tr(std::string_view english, const std::vector<std::string>& args) {
    std::string_view text = english;
    if (ThreadUiLanguage() == LANG_CHINESE) {
        if (const auto row = Chinese().find(english); row != Chinese().end()) text = row->second;
    }
    return FillFormat(text, args);
}

std::string Tr(std::string_view english, std::initializer_list<std::string> args) {
    return Tr(english, std::vector<std::string>(args));
}

void Fail(int code, std::string_view english, std::initializer_list<std::string> args) {
    throw Failure(code, Tr(english, args));
}

void Usage(std::string_view english, std::initializer_list<std::string> args) {
    Fail(EXIT_USAGE, english, args);
}

void Usage(const SettingProblem& problem) {
    throw Failure(EXIT_USAGE, Tr(problem.format, problem.args));
}

void Fail(const ProfileError& error) {
    throw Failure(EXIT_FILE, Tr(error.format(), error.args()));
}

} // namespace pemberlux::cli
