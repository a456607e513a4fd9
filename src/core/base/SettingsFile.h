// pemberlux.ini: the program's only persistent state, kept in the working folder.
#pragma once

#include "core/base/PortSettings.h"
#include "core/base/ReplaceFile.h"

#include <filesystem>
#include <string>

namespace pemberlux {

inline constexpr const char* SETTINGS_FILE_NAME = "pemberlux.ini";

// The record written on first start: the first model of the list in the
// calling thread's language, USB, COM1 9600 None 8 1 DTR, LPT1, 169.254.1.10:9100, and
// "Chinese" or "English" after the system language.
PortSettings DefaultPortSettings();

// The file's text, six blocks with CR LF line ends. A value that reading would
// change (blanks at an end, surrounding quotes of its own) is written in
// quotes, so what was read from a file reads back the same after a save.
std::string FormatSettings(const PortSettings& settings);

// The record from a file's text, every key looked up as LoadSettings does.
void ReadSettingsText(const std::string& text, PortSettings& settings);

// Reads ./pemberlux.ini into `settings` and returns true; when the file is
// missing, fills in the defaults, writes them and returns false.
bool LoadSettings(PortSettings& settings);

// Reads `file` into `settings`; false (and `settings` untouched) when it can't be
// read, with the errno in `error` when given.
bool ReadSettingsFile(const std::filesystem::path& file, PortSettings& settings, int* error = nullptr);

// Writes `settings` to `file` as ReplaceFile does: the old content stays whole
// if writing fails half-way; a link is written through, a write-protected file
// is left alone, the file keeps its permissions.
FileWrite WriteSettingsFile(const std::filesystem::path& file, const PortSettings& settings);

// Picks the user-interface language from ./pemberlux.ini (or the system when the
// file or its value is missing), sets it for the calling thread and returns it:
// 2052, 1033, or 0 when the stored text is neither "Chinese" nor "English" (the
// thread keeps the system language then).
int ChooseUiLanguage();

} // namespace pemberlux
