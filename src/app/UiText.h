// The program's texts in English (1033) and Simplified Chinese (2052): the
// string table 100-224 and the control texts of every dialog and page. Each
// thread picks its own language, so a worker loads the texts of its window.
#pragma once

#include <string>

namespace pemberlux {

constexpr int LANG_ENGLISH = 1033;
constexpr int LANG_CHINESE = 2052;

// The calling thread's user-interface language. A thread that never set one
// uses the system default language (SystemDefaultLanguage()).
void SetThreadUiLanguage(int langId);
int ThreadUiLanguage();

// 2052 when the locale (LC_ALL, LC_MESSAGES, LANG, first one set) starts with
// zh_CN or zh_SG or is "zh"; 1033 otherwise.
int SystemDefaultLanguage();

// Thread language for a PortSettings language text: "Chinese" -> 2052, else 1033.
int LanguageIdOf(const std::string& languageSetting);

// String table entry in the calling thread's language (UTF-8); empty if unknown.
std::string LoadUiString(int id);
std::string LoadUiString(int id, int langId);

// Control text of a dialog template, in the calling thread's language. `control`
// is the control id as decimal ("1036") or, for controls without an id, the
// key under which the template lists it (see res/templates.def).
std::string TemplateText(int dialogId, const std::string& control);
std::string TemplateText(int dialogId, const std::string& control, int langId);

} // namespace pemberlux
