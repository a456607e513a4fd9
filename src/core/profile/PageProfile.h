// Profiles as the settings pages save and load them: what a page shows goes
// into a profile file, and a profile file comes back as the values the page is
// to show and the settings that change by it. The document and its keys are the
// command line's (Profile.h, SettingsProfile.h); nothing here talks to a printer.
#pragma once

#include "core/base/Models.h"
#include "core/base/PortSettings.h"
#include "core/label/LabelSettings.h"
#include "core/receipt/ReceiptSettings.h"

#include <string>

namespace pemberlux {

// What the keys and values of a family's settings depend on: the interface
// settings (the label Emulation list follows the language and the model) and
// the model (a receipt printer without a cutter has no cutter setting; with no
// known model, it has one).
struct ProfileTarget {
    const PortSettings& settings;
    const PrinterModel* model;
};

// Why a profile was not saved or loaded; `detail` says more (in English): the
// error with the file's name, for BadSetting the setting as "key = value", for
// Unwritable the system's reason ("Permission denied").
enum class ProfileRefusal {
    None,
    Unreadable,  // the file cannot be read
    NotAProfile, // not JSON, or not of a profile's shape
    OtherFamily, // a profile of the other printer family
    BadSetting,  // a key the printer does not have, or a value it does not take
    Unwritable,  // the file cannot be written
};
struct ProfileOutcome {
    ProfileRefusal refusal = ProfileRefusal::None;
    std::string detail;
};

// A loaded profile: `values` is what the page shows with every setting the
// profile gives put in, `changed` marks the settings whose value that changed.
// A profile is taken whole or not at all: on a refusal `values` is what the
// page showed and nothing is marked.
template <class Values, class Marks> struct ProfileLoad : ProfileOutcome {
    Values values;
    Marks changed;
};
using LabelProfileLoad = ProfileLoad<LabelSettingValues, LabelChangedMarks>;
using ReceiptProfileLoad = ProfileLoad<ReceiptSettingValues, ReceiptChangedMarks>;

// Writes the profile of the settings a page shows: every setting the printer
// has, null where the page shows no value; `firmwareVersion` empty when unknown.
ProfileOutcome SaveProfile(const std::string& path, const LabelSettingValues& shown, const ProfileTarget& target,
                           const std::string& firmwareVersion);
ProfileOutcome SaveProfile(const std::string& path, const ReceiptSettingValues& shown, const ProfileTarget& target,
                           const std::string& firmwareVersion);

// Reads a profile of the page's family against what the page shows. Settings
// the profile leaves out or gives as null stay as they are; a value equal to
// the one shown is no change.
LabelProfileLoad LoadProfile(const std::string& path, const LabelSettingValues& shown, const ProfileTarget& target);
ReceiptProfileLoad LoadProfile(const std::string& path, const ReceiptSettingValues& shown, const ProfileTarget& target);

} // namespace pemberlux
