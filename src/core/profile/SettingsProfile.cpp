#include "core/profile/SettingsProfile.h"

#include "core/base/NearestWord.h"
#include "core/base/UiText.h"

namespace pemberlux {

namespace {

// ---- Label printers ----------------------------------------------------------

// The words of a label list as the target's page shows it.
std::vector<std::string> LabelWords(const ProfileTarget& target, int pos) {
    const auto words = LabelListWords(pos, target.settings);
    return {words.begin(), words.end()};
}

ProfileJson LabelValue(const ProfileTarget& target, const SettingEntry& entry, const LabelSettingValues& values) {
    const auto i = static_cast<std::size_t>(entry.pos);
    if (entry.IsList()) {
        const auto words = LabelListWords(entry.pos, target.settings);
        const int sel = values.selection[i];
        if (sel < 0 || sel >= static_cast<int>(words.size())) return nullptr;
        return std::string(words[static_cast<std::size_t>(sel)]);
    }
    if (values.text[i].empty()) return nullptr;
    if (entry.kind == SettingKind::Millimetres) return MillimetresValue(values.text[i]);
    const auto n = ParseInteger(values.text[i]);
    return n ? ProfileJson(*n) : ProfileJson(nullptr);
}

// ---- Receipt printers --------------------------------------------------------

// The settings this model has: a printer without a cutter has no cutter setting.
bool Offered(const PrinterModel* model, const SettingEntry& entry) {
    return entry.pos != RS_CUTTER_SWITCH || !model || model->cutter;
}

// ---- Pages -------------------------------------------------------------------

std::string ModelNameOf(const ProfileTarget& target) {
    return target.model ? ModelName(*target.model, LANG_ENGLISH) : target.settings.modelName;
}

template <class Values>
ProfileOutcome Save(const std::string& path, PrinterFamily family, const Values& shown, const ProfileTarget& target,
                    const std::string& firmwareVersion) {
    const ProfileJson firmware = firmwareVersion.empty() ? ProfileJson(nullptr) : ProfileJson(firmwareVersion);
    try {
        WriteProfile(path, MakeProfile(ModelNameOf(target), family, ProfileSettings(shown, target), firmware));
    } catch (const ProfileError& e) {
        // The file is named by the caller; the system's reason is the detail.
        return {ProfileRefusal::Unwritable, e.args().size() > 1 ? e.args()[1] : e.what()};
    }
    return {};
}

// Reads `path`, checks it whole, then puts each setting whose value differs
// from the one shown into the values and marks it.
template <class Values, class Marks, std::size_t N>
ProfileLoad<Values, Marks> Load(const std::string& path, PrinterFamily family, const std::array<SettingEntry, N>& table,
                                const Values& shown, const ProfileTarget& target) {
    ProfileLoad<Values, Marks> out;
    out.values = shown;
    const auto refuse = [&out](ProfileRefusal refusal, std::string detail) {
        out.refusal = refusal;
        out.detail = std::move(detail);
        return out;
    };
    ProfileJson profile;
    try {
        profile = ReadProfile(path);
    } catch (const ProfileError& e) {
        return refuse(e.kind() == ProfileError::Unreadable ? ProfileRefusal::Unreadable : ProfileRefusal::NotAProfile,
                      e.what());
    }
    if (profile["family"] != ProfileFamilyName(family))
        return refuse(ProfileRefusal::OtherFamily, path + ": a " + profile["family"].get<std::string>() + " profile");

    const ProfileJson& wanted = profile["settings"];
    SettingAssignments given;
    for (const auto& [key, value] : wanted.items())
        if (!value.is_null()) given.emplace_back(key, ValueText(value));
    Values taken;
    Marks marks;
    if (const auto problem = SettingsFromAssignments(given, target, taken, marks))
        return refuse(ProfileRefusal::BadSetting, problem->key + " = " + problem->value);

    const ProfileJson now = ProfileSettings(shown, target);
    for (const auto& info : table) {
        const auto i = static_cast<std::size_t>(info.pos);
        if (!marks.test(i)) continue;
        const std::string key(info.key);
        if (now.contains(key) && now[key] == wanted[key]) continue;
        out.changed.set(i);
        out.values.selection[i] = info.IsList() ? taken.selection[i] : shown.selection[i];
        out.values.text[i] = info.IsList() ? shown.text[i] : taken.text[i];
    }
    return out;
}

} // namespace

std::vector<std::string> ValueWords(const SettingEntry& entry) {
    return {entry.words.begin(), entry.words.end()};
}

ProfileJson MillimetresValue(const std::string& text) {
    const auto mm = ParseDecimal(text);
    return mm ? ProfileJson(*mm) : ProfileJson(nullptr);
}

bool IsMillimetres(const std::string& text) {
    return ParseDecimal(text) && !CheckEditRange(text).clamped;
}

// ---- Label printers ----------------------------------------------------------

ProfileJson ProfileSettings(const LabelSettingValues& values, const ProfileTarget& target) {
    ProfileJson doc = ProfileJson::object();
    for (const SettingEntry& entry : LABEL_SETTINGS)
        doc[std::string(entry.key)] = LabelValue(target, entry, values);
    return doc;
}

namespace {

std::vector<std::string> LabelKeyList() {
    std::vector<std::string> keys;
    for (const SettingEntry& entry : LABEL_SETTINGS)
        keys.emplace_back(entry.key);
    return keys;
}

std::vector<std::string> ReceiptKeyList(const PrinterModel* model) {
    std::vector<std::string> keys;
    for (const SettingEntry& entry : RECEIPT_SETTINGS)
        if (Offered(model, entry)) keys.emplace_back(entry.key);
    return keys;
}

SettingProblem Problem(const std::string& key, const std::string& value, std::string format,
                       std::vector<std::string> args) {
    std::string message = FillFormat(format, args);
    return {key, value, std::move(format), std::move(args), std::move(message)};
}

// A key the family does not have: the one it most likely meant, else all of them.
SettingProblem UnknownKey(const std::string& key, const std::string& value, const std::vector<std::string>& keys) {
    const std::string near = NearestWord(key, keys);
    if (!near.empty()) return Problem(key, value, "unknown setting '%1'; did you mean '%2'?", {key, near});
    return Problem(key, value, "unknown setting '%1'; keys: %2", {key, JoinItems(keys)});
}

} // namespace

std::string LabelSettingKeys() {
    return JoinItems(LabelKeyList());
}

std::optional<SettingProblem> SettingsFromAssignments(const SettingAssignments& assignments,
                                                      const ProfileTarget& target, LabelSettingValues& values,
                                                      LabelChangedMarks& marks) {
    for (const auto& [key, value] : assignments) {
        const SettingEntry* entry = SettingByKey(LABEL_SETTINGS, key);
        if (!entry) return UnknownKey(key, value, LabelKeyList());
        const auto i = static_cast<std::size_t>(entry->pos);
        const std::string min = std::to_string(entry->min);
        const std::string max = std::to_string(entry->max);
        if (entry->IsList()) {
            const auto words = LabelWords(target, entry->pos);
            const auto index = FindItem(words, value);
            if (!index) return Problem(key, value, "%1: '%2' is not one of: %3", {key, value, JoinItems(words)});
            values.selection[i] = *index;
        } else if (entry->kind == SettingKind::Millimetres) {
            if (!IsMillimetres(value))
                return Problem(key, value, "%1: '%2' is not a number of millimetres from %3 to %4",
                               {key, value, min, max});
            values.text[i] = value;
        } else {
            const auto n = ParseInteger(value);
            if (!n || *n < entry->min || *n > entry->max)
                return Problem(key, value, "%1: '%2' is not an integer from %3 to %4", {key, value, min, max});
            values.text[i] = value;
        }
        marks.set(i);
    }
    return std::nullopt;
}

// ---- Receipt printers --------------------------------------------------------

ProfileJson ProfileSettings(const ReceiptSettingValues& values, const ProfileTarget& target) {
    ProfileJson doc = ProfileJson::object();
    for (const SettingEntry& entry : RECEIPT_SETTINGS) {
        if (!Offered(target.model, entry)) continue;
        const auto i = static_cast<std::size_t>(entry.pos);
        ProfileJson& value = doc[std::string(entry.key)];
        if (entry.IsList()) {
            const int sel = values.selection[i];
            value = sel >= 0 && sel < static_cast<int>(entry.words.size())
                        ? ProfileJson(std::string(entry.words[static_cast<std::size_t>(sel)]))
                        : ProfileJson(nullptr);
        } else {
            const auto mm = ParseDecimal(values.text[i]);
            value = mm ? ProfileJson(*mm) : ProfileJson(nullptr);
        }
    }
    return doc;
}

std::string ReceiptSettingKeys(const PrinterModel* model) {
    return JoinItems(ReceiptKeyList(model));
}

std::optional<SettingProblem> SettingsFromAssignments(const SettingAssignments& assignments,
                                                      const ProfileTarget& target, ReceiptSettingValues& values,
                                                      ReceiptChangedMarks& marks) {
    for (const auto& [key, value] : assignments) {
        const SettingEntry* found = SettingByKey(RECEIPT_SETTINGS, key);
        if (!found || !Offered(target.model, *found)) return UnknownKey(key, value, ReceiptKeyList(target.model));
        const auto i = static_cast<std::size_t>(found->pos);
        if (found->IsList()) {
            const int index = WordIndex(*found, value);
            if (index < 0)
                return Problem(key, value, "%1: '%2' is not one of: %3", {key, value, JoinItems(ValueWords(*found))});
            values.selection[i] = index;
        } else {
            const ReceiptDistanceCheck check = CheckReceiptDistance(value, *found);
            if (!ParseDecimal(value) || !IsReceiptDistanceNumber(value) || check.message)
                return Problem(key, value, "%1: '%2' is not a number of millimetres from %3 to %4",
                               {key, value, std::to_string(found->min), std::to_string(found->max)});
            values.text[i] = value;
        }
        marks.set(i);
    }
    return std::nullopt;
}

// ---- Pages -------------------------------------------------------------------

ProfileOutcome SaveProfile(const std::string& path, const LabelSettingValues& shown, const ProfileTarget& target,
                           const std::string& firmwareVersion) {
    return Save(path, PrinterFamily::Label, shown, target, firmwareVersion);
}

ProfileOutcome SaveProfile(const std::string& path, const ReceiptSettingValues& shown, const ProfileTarget& target,
                           const std::string& firmwareVersion) {
    return Save(path, PrinterFamily::Receipt, shown, target, firmwareVersion);
}

LabelProfileLoad LoadProfile(const std::string& path, const LabelSettingValues& shown, const ProfileTarget& target) {
    return Load<LabelSettingValues, LabelChangedMarks>(path, PrinterFamily::Label, LABEL_SETTINGS, shown, target);
}

ReceiptProfileLoad LoadProfile(const std::string& path, const ReceiptSettingValues& shown,
                               const ProfileTarget& target) {
    return Load<ReceiptSettingValues, ReceiptChangedMarks>(path, PrinterFamily::Receipt, RECEIPT_SETTINGS, shown,
                                                           target);
}

} // namespace pemberlux
