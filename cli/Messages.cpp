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

std::string Tr(std::string_view english, std::initializer_list<std::string> args) {
    std::string_view text = english;
    if (ThreadUiLanguage() == LANG_CHINESE) {
        if (const auto row = Chinese().find(english); row != Chinese().end()) text = row->second;
    }
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const std::size_t n = static_cast<std::size_t>(next - '1');
        if (text[i] == '%' && next >= '1' && next <= '9' && n < args.size()) {
            out += *(args.begin() + n);
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void Fail(int code, std::string_view english, std::initializer_list<std::string> args) {
    throw Failure(code, Tr(english, args));
}

void Usage(std::string_view english, std::initializer_list<std::string> args) {
    Fail(EXIT_USAGE, english, args);
}

void Usage(const SettingProblem& problem) {
    const auto arg = [&](std::size_t i) { return i < problem.args.size() ? problem.args[i] : std::string(); };
    Usage(problem.format, {arg(0), arg(1), arg(2), arg(3)});
}

} // namespace pemberlux::cli
