#include "core/base/SettingsFile.h"

#include "core/base/FileText.h"
#include "core/base/Models.h"
#include "core/base/UiText.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>

namespace pemberlux {

namespace {

// Values are read into a buffer of 128 characters: longer ones are cut to 127,
// and a length of 0 or exactly 126 has always meant "no value".
constexpr std::size_t VALUE_BUFFER = 128;
const std::string NO_NAME = "<No Name>";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Trim(std::string_view s) {
    const auto blank = IsBlank;
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The file's whole text: read once, then every key is looked up in it.
std::optional<std::string> ReadText(const std::filesystem::path& file, int* error = nullptr) {
    FileText read = ReadFileText(file);
    if (error) *error = read.error;
    if (read.error) return std::nullopt;
    return std::move(read.text);
}

// A value in a matching pair of double or single quotes stands without them, as
// hand-edited files write it (IpAddr="192.168.1.5"); the blanks inside stay.
bool IsQuoted(std::string_view value) {
    return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
}

std::string Unquoted(std::string value) {
    if (IsQuoted(value)) return value.substr(1, value.size() - 2);
    return value;
}

// A value as written: one the reader would change (blanks at either end, or a
// pair of surrounding quotes of its own) goes out in quotes, so it reads back
// as it is; every other value goes out bare, as always.
std::string Written(const std::string& value) {
    if (value.empty()) return value;
    if (IsBlank(value.front()) || IsBlank(value.back()) || IsQuoted(value)) return '"' + value + '"';
    return value;
}

// Looks a value up the way the program always has: section and key compared
// without regard to case, the first match wins, blanks around the value and
// then one surrounding pair of quotes dropped. Nothing when the section or the
// key is missing.
std::optional<std::string> LookUp(const std::string& content, const std::string& section, const std::string& key) {
    std::istringstream in(content);
    std::string line;
    bool inSection = false;
    bool sectionSeen = false;
    while (std::getline(in, line)) {
        std::string text = Trim(line);
        if (text.empty() || text.front() == ';') continue;
        if (text.front() == '[') {
            // Only the first section of that name is searched.
            if (inSection) return std::nullopt;
            std::size_t close = text.find(']');
            std::string name = Trim(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            inSection = !sectionSeen && SameText(name, section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection) continue;
        std::size_t eq = text.find('=');
        if (eq == std::string::npos) continue;
        if (SameText(Trim(std::string_view(text).substr(0, eq)), key))
            return Unquoted(Trim(std::string_view(text).substr(eq + 1)));
    }
    return std::nullopt;
}

// A value as the program has always read it (see VALUE_BUFFER).
std::optional<std::string> ReadValue(const std::string& text, const char* section, const char* key) {
    std::optional<std::string> v = LookUp(text, section, key);
    if (!v) return std::nullopt;
    if (v->size() > VALUE_BUFFER - 1) v->resize(VALUE_BUFFER - 1);
    if (v->empty() || v->size() == VALUE_BUFFER - 2) return std::nullopt;
    return v;
}

bool CanOpen(const std::filesystem::path& file, std::ios::openmode mode) {
    std::fstream f(file, mode);
    return f.is_open();
}

} // namespace

PortSettings DefaultPortSettings() {
    PortSettings s;
    s.modelName = ModelName(MODELS.front());
    s.portKind = PORT_USB;
    s.comName = "COM1";
    s.baudRate = "9600";
    s.parity = "None";
    s.dataBits = "8";
    s.stopBits = "1";
    s.flowControl = "DTR";
    s.lptName = "LPT1";
    s.language = SystemDefaultLanguage() == LANG_CHINESE ? "Chinese" : "English";
    s.ipAddress = "169.254.1.10";
    s.tcpPort = 9100;
    return s;
}

std::string FormatSettings(const PortSettings& s) {
    std::ostringstream out;
    const auto w = Written;
    out << "[PrinterModel]\r\nPrinter Model=" << w(s.modelName) << "\r\n";
    out << "[PortType]\r\nCurPortType=" << s.portKind << "\r\n";
    out << "[COM]\r\nPortName=" << w(s.comName) << "\r\nBaudrate=" << w(s.baudRate) << "\r\nParitySetup=" << w(s.parity)
        << "\r\nDataBit=" << w(s.dataBits) << "\r\nStopBit=" << w(s.stopBits) << "\r\nFlowControl=" << w(s.flowControl)
        << "\r\n";
    out << "[LPT]\r\nPortName=" << w(s.lptName) << "\r\n";
    out << "[LAN]\r\nIpAddr=" << w(s.ipAddress) << "\r\nListenPort=" << s.tcpPort << "\r\n";
    out << "[LanguageSetting]\r\nLanguage=" << w(s.language) << "\r\n";
    return out.str();
}

FileWrite WriteSettingsFile(const std::filesystem::path& file, const PortSettings& settings) {
    return ReplaceFile(file, FormatSettings(settings));
}

bool PortSettings::SaveSettings() const {
    return static_cast<bool>(WriteSettingsFile(SETTINGS_FILE_NAME, *this));
}

bool LoadSettings(PortSettings& s) {
    const std::filesystem::path file = SETTINGS_FILE_NAME;
    if (!CanOpen(file, std::ios::in | std::ios::out | std::ios::binary) || !ReadSettingsFile(file, s)) {
        s = DefaultPortSettings();
        s.SaveSettings();
        return false;
    }
    return true;
}

bool ReadSettingsFile(const std::filesystem::path& file, PortSettings& s, int* error) {
    const std::optional<std::string> text = ReadText(file, error);
    if (!text) return false;
    ReadSettingsText(*text, s);
    return true;
}

void ReadSettingsText(const std::string& text, PortSettings& s) {
    auto value = [&](const char* section, const char* key) { return ReadValue(text, section, key).value_or(NO_NAME); };
    auto valueOrEmpty = [&](const char* section, const char* key) {
        return ReadValue(text, section, key).value_or(std::string());
    };
    // Any number is kept as it stands (a kind the program does not know opens nothing).
    s.portKind = static_cast<PortKind>(std::atoi(value("PortType", "CurPortType").c_str()));
    s.comName = valueOrEmpty("COM", "PortName");
    s.baudRate = valueOrEmpty("COM", "Baudrate");
    s.parity = valueOrEmpty("COM", "ParitySetup");
    s.dataBits = valueOrEmpty("COM", "DataBit");
    s.stopBits = valueOrEmpty("COM", "StopBit");
    s.flowControl = valueOrEmpty("COM", "FlowControl");
    s.lptName = value("LPT", "PortName");
    s.language = value("LanguageSetting", "Language");
    // Written in one language, read in the other: the name the list shows now.
    s.modelName = ModelNameIn(value("PrinterModel", "Printer Model"), s.language);
    s.ipAddress = valueOrEmpty("LAN", "IpAddr");
    s.tcpPort = std::atoi(value("LAN", "ListenPort").c_str());
}

int ChooseUiLanguage() {
    const std::filesystem::path file = SETTINGS_FILE_NAME;
    std::optional<std::string> language;
    if (const std::optional<std::string> text = ReadText(file))
        language = ReadValue(*text, "LanguageSetting", "Language");
    const std::string chosen =
        language.value_or(SystemDefaultLanguage() == LANG_CHINESE ? std::string("Chinese") : std::string("English"));
    int id = chosen == "Chinese" ? LANG_CHINESE : chosen == "English" ? LANG_ENGLISH : 0;
    if (id) SetThreadUiLanguage(id);
    return id;
}

} // namespace pemberlux
