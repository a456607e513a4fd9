#include "core/base/UiText.h"

#include "core/base/Version.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <string_view>
#include <tuple>
#include <utility>

namespace pemberlux {

namespace {

struct StringRow {
    int id;
    const char* english;
    const char* chinese;
};

constexpr StringRow STRINGS[] = {
#define UI_STRING(id, name, en, zh) {id, en, zh},
#include "strings.def"
#undef UI_STRING
};

struct TemplateRow {
    int dialogId;
    const char* key;
    const char* english;
    const char* chinese;
};

constexpr TemplateRow TEMPLATES[] = {
#define UI_TEMPLATE(dialog, key, en, zh) {dialog, key, en, zh},
#include "templates.def"
#undef UI_TEMPLATE
};

struct DialogRow {
    int id;
    const char* className;
    const char* englishFont;
    int englishPoints;
    const char* chineseFont;
    int chinesePoints;
};

constexpr DialogRow DIALOGS[] = {
#define UI_DIALOG(id, cls, enFont, enPt, zhFont, zhPt) {id, cls, enFont, enPt, zhFont, zhPt},
#include "dialogs.def"
#undef UI_DIALOG
};

struct NoteRow {
    Note note;
    const char* english;
    const char* chinese;
};

constexpr NoteRow NOTES[] = {
#define UI_NOTE(name, en, zh) {name, en, zh},
#include "notes.def"
#undef UI_NOTE
};

// 0 until the thread picks a language.
thread_local int threadLanguage = 0;

const char* Pick(const char* english, const char* chinese, int langId) {
    return langId == LANG_CHINESE ? chinese : english;
}

const StringRow* FindString(int id) {
    static const std::map<int, const StringRow*> byId = [] {
        std::map<int, const StringRow*> m;
        for (const StringRow& row : STRINGS)
            m.emplace(row.id, &row);
        return m;
    }();
    auto it = byId.find(id);
    return it == byId.end() ? nullptr : it->second;
}

using TemplateKey = std::pair<int, std::string_view>;

const TemplateRow* FindTemplate(int dialogId, std::string_view key) {
    static const std::map<TemplateKey, const TemplateRow*> byKey = [] {
        std::map<TemplateKey, const TemplateRow*> m;
        for (const TemplateRow& row : TEMPLATES)
            m.emplace(TemplateKey{row.dialogId, row.key}, &row);
        return m;
    }();
    auto it = byKey.find(TemplateKey{dialogId, key});
    return it == byKey.end() ? nullptr : it->second;
}

// The texts ScopedTemplateText puts in place: dialog, key, Chinese.
using OverrideKey = std::tuple<int, std::string, bool>;
std::mutex overridesMutex;
std::map<OverrideKey, std::string>& Overrides() {
    static std::map<OverrideKey, std::string> overrides;
    return overrides;
}

const DialogRow* FindDialog(int dialogId) {
    for (const DialogRow& row : DIALOGS)
        if (row.id == dialogId) return &row;
    return nullptr;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    if (text.empty()) return lines;
    std::string_view rest = text;
    for (;;) {
        std::size_t nl = rest.find('\n');
        lines.emplace_back(rest.substr(0, nl));
        if (nl == std::string_view::npos) break;
        rest.remove_prefix(nl + 1);
    }
    return lines;
}

bool IsChineseLocale(std::string_view locale) {
    return locale.starts_with("zh_CN") || locale.starts_with("zh_SG") || locale == "zh";
}

} // namespace

void SetThreadUiLanguage(int langId) {
    if (langId == LANG_ENGLISH || langId == LANG_CHINESE) threadLanguage = langId;
}

int ThreadUiLanguage() {
    return threadLanguage ? threadLanguage : SystemDefaultLanguage();
}

int SystemDefaultLanguage() {
    // The first variable that is set and not empty decides, as for the C library's locale.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return IsChineseLocale(value) ? LANG_CHINESE : LANG_ENGLISH;
    }
    return LANG_ENGLISH;
}

int LanguageIdOf(const std::string& languageSetting) {
    return languageSetting == "Chinese" ? LANG_CHINESE : LANG_ENGLISH;
}

std::string LoadUiString(StringId id) {
    return LoadUiString(static_cast<int>(id), ThreadUiLanguage());
}

std::string LoadUiString(StringId id, int langId) {
    return LoadUiString(static_cast<int>(id), langId);
}

std::string LoadUiString(int id) {
    return LoadUiString(id, ThreadUiLanguage());
}

std::string LoadUiString(int id, int langId) {
    const StringRow* row = FindString(id);
    return row ? Pick(row->english, row->chinese, langId) : std::string();
}

std::string NoteText(Note note, const std::vector<std::string>& args) {
    return NoteText(note, ThreadUiLanguage(), args);
}

std::string NoteText(Note note, int langId, const std::vector<std::string>& args) {
    std::string text;
    for (const NoteRow& row : NOTES)
        if (row.note == note) text = Pick(row.english, row.chinese, langId);
    // One pass, so a filled-in value that holds "%2" stays as it is.
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const std::size_t k = static_cast<std::size_t>(text[i + 1] - '1');
            if (k < args.size()) {
                out += args[k];
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string TemplateText(int dialogId, const std::string& control) {
    return TemplateText(dialogId, control, ThreadUiLanguage());
}

std::string TemplateText(int dialogId, const std::string& control, int langId) {
    {
        const std::lock_guard lock(overridesMutex);
        const auto& overrides = Overrides();
        if (!overrides.empty()) {
            const auto it = overrides.find(OverrideKey{dialogId, control, langId == LANG_CHINESE});
            if (it != overrides.end()) return it->second;
        }
    }
    const TemplateRow* row = FindTemplate(dialogId, control);
    return row ? Pick(row->english, row->chinese, langId) : std::string();
}

ScopedTemplateText::ScopedTemplateText(int dialogId, std::string control, int langId, std::string text)
    : dialogId_(dialogId), control_(std::move(control)), chinese_(langId == LANG_CHINESE) {
    const std::lock_guard lock(overridesMutex);
    Overrides()[OverrideKey{dialogId_, control_, chinese_}] = std::move(text);
}

ScopedTemplateText::~ScopedTemplateText() {
    const std::lock_guard lock(overridesMutex);
    Overrides().erase(OverrideKey{dialogId_, control_, chinese_});
}

std::vector<std::string> TemplateItems(int dialogId, int listId) {
    return TemplateItems(dialogId, listId, ThreadUiLanguage());
}

std::vector<std::string> TemplateItems(int dialogId, int listId, int langId) {
    return Lines(TemplateText(dialogId, std::to_string(listId) + ".items", langId));
}

std::vector<std::string> TemplateColumns(int dialogId, int listId) {
    return TemplateColumns(dialogId, listId, ThreadUiLanguage());
}

std::vector<std::string> TemplateColumns(int dialogId, int listId, int langId) {
    return Lines(TemplateText(dialogId, std::to_string(listId) + ".columns", langId));
}

std::vector<std::string> TemplateKeys(int dialogId) {
    std::vector<std::string> keys;
    for (const TemplateRow& row : TEMPLATES)
        if (row.dialogId == dialogId) keys.emplace_back(row.key);
    return keys;
}

std::vector<int> DialogIds() {
    std::vector<int> ids;
    for (const DialogRow& row : DIALOGS)
        ids.push_back(row.id);
    return ids;
}

std::string DialogClass(int dialogId) {
    const DialogRow* row = FindDialog(dialogId);
    return row ? row->className : std::string();
}

DialogFont DialogFontOf(int dialogId) {
    return DialogFontOf(dialogId, ThreadUiLanguage());
}

DialogFont DialogFontOf(int dialogId, int langId) {
    const DialogRow* row = FindDialog(dialogId);
    if (!row) return {};
    if (langId == LANG_CHINESE) return {row->chineseFont, row->chinesePoints};
    return {row->englishFont, row->englishPoints};
}

std::vector<int> UiStringIds() {
    std::vector<int> ids;
    for (const StringRow& row : STRINGS)
        ids.push_back(row.id);
    return ids;
}

} // namespace pemberlux
