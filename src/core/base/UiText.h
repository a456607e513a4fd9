// The program's texts in English (1033) and Simplified Chinese (2052): the
// string table 101-224 and the control texts of every dialog and page. Each
// thread picks its own language, so a worker loads the texts of its window.
#pragma once

#include "core/base/StringId.h"

#include <string>
#include <vector>

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
// Where a language id is passed, 2052 selects Chinese and any other id English.
// Code names the entry (StringId, from res/strings.def); the forms taking a
// number serve those who walk the table by UiStringIds().
std::string LoadUiString(StringId id);
std::string LoadUiString(StringId id, int langId);
std::string LoadUiString(int id);
std::string LoadUiString(int id, int langId);

// Control text of a dialog template, in the calling thread's language. `control`
// is the control id as decimal ("1036") or, for controls without an id, the
// key under which the template lists it (see res/templates.def).
std::string TemplateText(int dialogId, const std::string& control);
std::string TemplateText(int dialogId, const std::string& control, int langId);

// For tests: while it lives, TemplateText(dialogId, control, language) gives
// `text` for the calling process instead of the template's own text, in the
// language langId picks (2052 Chinese, anything else English). Scopes do not
// nest on the same text.
class ScopedTemplateText {
public:
    ScopedTemplateText(int dialogId, std::string control, int langId, std::string text);
    ~ScopedTemplateText();
    ScopedTemplateText(const ScopedTemplateText&) = delete;
    ScopedTemplateText& operator=(const ScopedTemplateText&) = delete;

private:
    int dialogId_;
    std::string control_;
    bool chinese_;
};

// The lines of a multi-line template text: the items of list `listId` ("<id>.items")
// or the column headers of report list `listId` ("<id>.columns"); empty if none.
std::vector<std::string> TemplateItems(int dialogId, int listId);
std::vector<std::string> TemplateItems(int dialogId, int listId, int langId);
std::vector<std::string> TemplateColumns(int dialogId, int listId);
std::vector<std::string> TemplateColumns(int dialogId, int listId, int langId);

// Every key a dialog's template lists, in template order (empty for an unknown dialog).
std::vector<std::string> TemplateKeys(int dialogId);

// The dialogs and pages, by template id (res/dialogs.def), ascending.
struct DialogFont {
    std::string family;
    int pointSize = 0;
};
std::vector<int> DialogIds();
std::string DialogClass(int dialogId); // "CPagePortSet"; empty if unknown
DialogFont DialogFontOf(int dialogId); // in the calling thread's language
DialogFont DialogFontOf(int dialogId, int langId);

// Identifiers of the string table, ascending.
std::vector<int> UiStringIds();

// The program's own added texts (res/notes.def), in the order of that file.
enum Note {
    NOTE_HELP_NO_VIEWER,        // %1 the help file
    NOTE_OPEN_DENIED_GROUP,     // %1 the device, %2 the group that owns it
    NOTE_OPEN_DENIED_UDEV,      // %1 the device (a USB printer no group of users may open)
    NOTE_OPEN_DENIED_USB_GROUP, // %1 the device (a USB printer), %2 the group that may open it
    NOTE_OPEN_DENIED_OWNER,     // %1 the device, %2 its owner, %3 its mode (no group may open it)
    NOTE_OPEN_ABSENT,           // %1 the device
    NOTE_OPEN_BUSY,             // %1 the device
    NOTE_OPEN_OTHER,            // %1 the device, %2 the system's reason
    NOTE_HOST_UNKNOWN,          // %1 a printer's host name, %2 the resolver's reason
    NOTE_HOST_NO_ANSWER,        // %1 a printer's host name
    NOTE_PORT_ABSENT,           // %1 a device path that is not there
    NOTE_PORT_NAME_ABSENT,      // %1 a port name (COMn, LPTn), %2 the device it opens, not there
};
// The note in the calling thread's language (or `langId`), with "%1", "%2", …
// replaced by `args` in order.
std::string NoteText(Note note, const std::vector<std::string>& args = {});
std::string NoteText(Note note, int langId, const std::vector<std::string>& args);

} // namespace pemberlux
