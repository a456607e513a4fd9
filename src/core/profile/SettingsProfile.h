// The settings of the two printer families as profiles and the command line
// see them: stable snake_case keys (a label key is its schema entry's, a
// receipt key its English page label's), a list's value its value word, an
// offset or distance a number of millimetres, the label AD value an integer.
#pragma once

#include "core/label/LabelSettings.h"
#include "core/profile/PageProfile.h"
#include "core/profile/Profile.h"
#include "core/receipt/ReceiptSettings.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pemberlux {

// A schema list's value words, as profiles and the command line write them.
std::vector<std::string> ValueWords(const SettingEntry& entry);

// Every setting the printer has, by key; null for a list without a selection
// and for an edit whose text is no number.
ProfileJson ProfileSettings(const LabelSettingValues& values, const ProfileTarget& target);
ProfileJson ProfileSettings(const ReceiptSettingValues& values, const ProfileTarget& target);

// KEY=VALUE texts (values without case for the lists) as the values and changed
// marks of a set frame. The first key or value not taken ends it: `message`
// says why, with the keys or the values there are; it is `format` (English,
// "%1", "%2", ... standing for `args`) filled in, so a caller may put the
// format into another language.
struct SettingProblem {
    std::string key;
    std::string value;
    std::string format;
    std::vector<std::string> args;
    std::string message;
};
using SettingAssignments = std::vector<std::pair<std::string, std::string>>;
std::optional<SettingProblem> SettingsFromAssignments(const SettingAssignments& assignments,
                                                      const ProfileTarget& target, LabelSettingValues& values,
                                                      LabelChangedMarks& marks);
std::optional<SettingProblem> SettingsFromAssignments(const SettingAssignments& assignments,
                                                      const ProfileTarget& target, ReceiptSettingValues& values,
                                                      ReceiptChangedMarks& marks);
// The keys the printer has, comma-separated.
std::string LabelSettingKeys();
std::string ReceiptSettingKeys(const PrinterModel* model);

// A label offset as the printer's settings reply gives it ("0.13") to the
// number shown, and whether a text is an offset a set takes (a decimal number
// whose whole part lies in -4095..4095). Shown, then given back as ValueText,
// every offset the printer can hold in that range names the same dots.
ProfileJson MillimetresValue(const std::string& text);
bool IsMillimetres(const std::string& text);

} // namespace pemberlux
