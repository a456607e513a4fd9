#include "Cli.h"

#include "core/base/FileText.h"
#include "core/base/SettingsFile.h"
#include "core/base/UiText.h"
#include "core/network/NetConfig.h"
#include "core/port/HostLookup.h"

#include <CLI/CLI.hpp>
#include <arpa/inet.h>
#include <netinet/in.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>

namespace pemberlux::cli {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (true) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// A value against the texts the settings record uses, compared without case.
std::string Pick(const std::string& what, const std::string& value, const std::vector<std::string>& accepted) {
    if (const auto i = FindItem(accepted, value)) return accepted[static_cast<std::size_t>(*i)];
    Usage("%1 '%2' is not one of: %3", {what, value, JoinItems(accepted)});
}

bool IsHex4(const std::string& s) {
    return s.size() == 4 && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isxdigit(c); });
}

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

// --tcp HOST[:PORT]: a host name, a dotted IPv4 address, or an IPv6 address
// in brackets (bare when no port follows).
struct TcpTarget {
    std::string host;
    int port = 9100;
    bool dottedIpv4 = false;
};

bool IsHostName(const std::string& name) {
    if (name.empty() || name.size() > 253) return false;
    for (const std::string& label : Split(name.back() == '.' ? name.substr(0, name.size() - 1) : name, '.')) {
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
        if (!std::all_of(label.begin(), label.end(),
                         [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '_'; }))
            return false;
    }
    return true;
}

TcpTarget ParseTcpTarget(const std::string& text) {
    const auto refuse = [&] {
        Usage("--tcp takes HOST[:PORT] with a host name, a dotted IPv4 address or an IPv6 address in brackets "
              "([::1]:9100), not '%1'",
              {text});
    };
    TcpTarget target;
    std::string port;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos) refuse();
        target.host = text.substr(1, close - 1);
        const std::string rest = text.substr(close + 1);
        if (!rest.empty() && (rest.front() != ':' || rest.size() == 1)) refuse();
        if (!rest.empty()) port = rest.substr(1);
        in6_addr v6{};
        if (::inet_pton(AF_INET6, target.host.c_str(), &v6) != 1) refuse();
    } else if (std::count(text.begin(), text.end(), ':') > 1) {
        target.host = text;
        in6_addr v6{};
        if (::inet_pton(AF_INET6, target.host.c_str(), &v6) != 1) refuse();
    } else {
        const auto parts = Split(text, ':');
        target.host = parts[0];
        if (parts.size() == 2) port = parts[1];
        // Digits and dots only: an IPv4 address, never a name.
        const bool numeric = !target.host.empty() && target.host.find_first_not_of("0123456789.") == std::string::npos;
        if (numeric &&
            (!IsReachableAddress(target.host) || std::count(target.host.begin(), target.host.end(), '.') != 3))
            refuse();
        if (!numeric && !IsHostName(target.host)) refuse();
        target.dottedIpv4 = numeric;
    }
    if (!port.empty() || text.back() == ':') {
        const auto p = ParseInteger(port);
        if (!p || !IsUsablePort(static_cast<int>(*p))) Usage("--tcp port must be 1-65535, not '%1'", {port});
        target.port = static_cast<int>(*p);
    }
    return target;
}

} // namespace

std::filesystem::path FindSettingsFile(const std::string& given) {
    if (!given.empty()) return given;
    if (const char* env = std::getenv("PEMBERLUX_CONFIG"); env && *env) return env;
    std::error_code ec;
    if (std::filesystem::exists(SETTINGS_FILE_NAME, ec)) return SETTINGS_FILE_NAME;
    // The folder the installed program's launcher runs it in.
    std::filesystem::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        config = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        config = std::filesystem::path(home) / ".config";
    } else {
        return SETTINGS_FILE_NAME;
    }
    return config / "pemberlux" / SETTINGS_FILE_NAME;
}

int ChooseLanguage(const std::string& lang) {
    if (lang == "en") return LANG_ENGLISH;
    if (lang == "zh") return LANG_CHINESE;
    // As command lines do: the locale's, whatever language the window keeps in its settings file.
    return SystemDefaultLanguage();
}

namespace {

// Whether the user named the settings file (--config or $PEMBERLUX_CONFIG).
bool SettingsFileNamed(const std::string& given) {
    const char* env = std::getenv("PEMBERLUX_CONFIG");
    return !given.empty() || (env && *env);
}

} // namespace

void Context::Resolve() {
    settingsFile_ = FindSettingsFile(options.config);
    if (!options.lang.empty() && options.lang != "en" && options.lang != "zh")
        Usage("--lang takes en or zh, not '%1'", {options.lang});
    // Read only: a missing file in a default place gives the defaults and is not
    // created. A file the user named must be there, unless --save is to create it.
    std::error_code ec;
    const bool named = SettingsFileNamed(options.config);
    if (std::filesystem::exists(settingsFile_, ec) || named) {
        int error = 0;
        if (!ReadSettingsFile(settingsFile_, settings_, &error)) {
            if (!(error == ENOENT && options.save))
                Fail(EXIT_FILE, "%1: cannot be read: %2", {settingsFile_.string(), SystemReason(error)});
            settings_ = DefaultPortSettings();
        }
    } else {
        settings_ = DefaultPortSettings();
    }
    fileLanguage_ = settings_.language;
    langId_ = ChooseLanguage(options.lang);
    settings_.language = langId_ == LANG_CHINESE ? "Chinese" : "English";
    SetThreadUiLanguage(langId_);

    if (!options.model.empty()) {
        model_ = ModelByName(options.model);
        for (const PrinterModel& m : MODELS) {
            for (int lang : {LANG_ENGLISH, LANG_CHINESE})
                if (!model_ && Lower(ModelName(m, lang)) == Lower(options.model)) model_ = &m;
        }
        if (!model_) {
            std::vector<std::string> names;
            for (const PrinterModel& m : MODELS)
                names.push_back(ModelName(m, LANG_ENGLISH));
            Usage("unknown model '%1'; models: %2", {options.model, JoinItems(names)});
        }
        settings_.modelName = ModelName(*model_, langId_);
    } else {
        model_ = ModelByName(settings_.modelName);
    }
    if (model_) SelectUsbIds(*model_);
    usb_ = UsbSelection::Current();
    ResolveConnection();
}

void Context::ResolveConnection() {
    const int given = !options.tcp.empty() + !options.serial.empty() + !options.lpt.empty() + !options.usb.empty();
    if (given > 1) Usage("give one of --tcp, --serial, --lpt, --usb");
    if (!options.tcp.empty()) {
        const TcpTarget target = ParseTcpTarget(options.tcp);
        if (options.save && !target.dottedIpv4)
            Usage("--save keeps the program's network setting, a dotted IPv4 address: --tcp %1 cannot be saved",
                  {options.tcp});
        settings_.portKind = PORT_LAN;
        settings_.ipAddress = target.host;
        settings_.tcpPort = target.port;
    } else if (!options.serial.empty()) {
        const auto parts = Split(options.serial, ':');
        if (parts[0].empty() || parts.size() > 6) Usage("--serial takes DEVICE[:BAUD[:PARITY[:DATA[:STOP[:FLOW]]]]]");
        settings_.portKind = PORT_COM;
        settings_.comName = parts[0];
        if (parts.size() > 1)
            settings_.baudRate = Pick(Tr("baud rate"), parts[1], {SERIAL_BAUD_RATES.begin(), SERIAL_BAUD_RATES.end()});
        if (parts.size() > 2) settings_.parity = Pick(Tr("parity"), parts[2], {"None", "Odd", "Even"});
        if (parts.size() > 3) settings_.dataBits = Pick(Tr("data bits"), parts[3], {"7", "8"});
        if (parts.size() > 4) settings_.stopBits = Pick(Tr("stop bits"), parts[4], {"1", "2"});
        if (parts.size() > 5) settings_.flowControl = Pick(Tr("flow control"), parts[5], {"DTR", "Xon/Xoff", "None"});
    } else if (!options.lpt.empty()) {
        settings_.portKind = PORT_LPT;
        settings_.lptName = options.lpt;
    } else if (!options.usb.empty()) {
        settings_.portKind = PORT_USB;
        if (options.usb != "auto") {
            const auto parts = Split(options.usb, ':');
            if (parts.size() != 2 || !IsHex4(parts[0]) || !IsHex4(parts[1]))
                Usage("--usb takes VID:PID (four hex digits each) or auto, not '%1'", {options.usb});
            usb_ = {Upper(parts[0]), Upper(parts[1]), false};
        } else if (!model_) {
            Usage("--usb auto needs a printer model (--model)");
        }
    }
    if (options.timeoutMs < 0) Usage("--timeout must not be negative");
    for (int port : {options.psPort, options.kvPort})
        if (port < 1 || port > 65535) Usage("UDP ports are 1-65535, not %1", {std::to_string(port)});
}

Context Context::ForPrinter(const ConnectionOptions& connection, const PrinterModel* model, const JobLimits& job,
                            int usbIndex) const {
    Context printer = *this;
    printer.options.tcp = connection.tcp;
    printer.options.serial = connection.serial;
    printer.options.lpt = connection.lpt;
    printer.options.usb = connection.usb;
    printer.options.save = false;
    printer.options.yes = true; // the fleet command asked once for all of them
    printer.model_ = model;
    if (model) {
        printer.settings_.modelName = ModelName(*model, langId_);
        // --usb auto: this printer's model's ids, not the process-wide selection.
        printer.usb_ = {model->usb.vendorId, model->usb.secondId, model->usb.vendorOnly};
    }
    printer.ResolveConnection();
    printer.usb_.index = usbIndex;
    printer.stop_ = job.stop;
    printer.deadline_ = job.deadline;
    printer.capture_ = true;
    printer.printed_.clear();
    return printer;
}

const PrinterModel& Context::Model() const {
    if (!model_) Usage("no printer model: give --model");
    return *model_;
}

std::chrono::milliseconds Context::Timeout(std::chrono::milliseconds fallback) const {
    return options.timeoutMs > 0 ? std::chrono::milliseconds(options.timeoutMs) : fallback;
}

ReplyRule Context::WithTimeout(ReplyRule rule) const {
    rule.timeout = Timeout(rule.timeout);
    return rule;
}

std::string Context::Text(StringId id) const {
    return LoadUiString(id, langId_);
}

std::string Context::Where() const {
    switch (settings_.portKind) {
    case PORT_LAN:
        return settings_.ipAddress + ":" + std::to_string(settings_.tcpPort);
    case PORT_COM:
        return settings_.comName;
    case PORT_LPT:
        return settings_.lptName;
    case PORT_USB:
        return "USB " + usb_.vendor + ":" + usb_.second;
    }
    return "";
}

void Say(const std::string& command, const std::string& text) {
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::cerr << "pemberlux-cli: " << (command.empty() ? "" : command + ": ") << EscapeControls(line) << "\n";
    std::cerr.flush();
}

void Context::Notice(std::string_view english, std::initializer_list<std::string> args) const {
    Say(command_, Tr(english, args));
}

void Context::Confirm(std::string_view question, std::initializer_list<std::string> args) const {
    if (options.yes || !::isatty(STDIN_FILENO)) return;
    std::cerr << "pemberlux-cli: " << command_ << ": " << EscapeControls(Tr(question, args)) << " " << Tr("[y/N]")
              << " ";
    std::cerr.flush();
    // A line from the terminal; Ctrl-C is heard meanwhile.
    std::string answer;
    while (true) {
        if (stop_.stop_requested()) {
            std::cerr << "\n";
            Fail(EXIT_INTERRUPTED, "interrupted");
        }
        pollfd fd{STDIN_FILENO, POLLIN, 0};
        if (::poll(&fd, 1, 100) <= 0) continue;
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || c == '\n') break;
        answer += c;
    }
    answer = Lower(answer);
    const bool yes = answer == "y" || answer == "yes" || answer == Tr("yes");
    if (!yes) Fail(EXIT_INTERRUPTED, "not confirmed: nothing was sent");
}

int ExitCodeOf(const ExchangeResult& result) {
    switch (result.status) {
    case ExchangeResult::Done:
        return EXIT_OK;
    case ExchangeResult::OpenFailed:
        return EXIT_OPEN;
    case ExchangeResult::WriteFailed:
        return EXIT_PRINTER;
    case ExchangeResult::ReadFailed:
        return EXIT_PRINTER;
    case ExchangeResult::NoReply:
        return EXIT_TIMEOUT;
    case ExchangeResult::Stopped:
        return EXIT_INTERRUPTED;
    }
    return EXIT_PRINTER;
}

const PortSettings& Context::Connection() {
    if (settings_.portKind != PORT_LAN || !settings_.resolvedAddresses.empty()) return settings_;
    const std::string& host = settings_.ipAddress;
    const HostLookup lookup = LookUpHost(host, Limits(), NAME_LOOKUP_LIMIT);
    switch (lookup.status) {
    case HostLookup::Found:
        settings_.resolvedAddresses = lookup.addresses;
        return settings_;
    case HostLookup::Unknown:
        throw Failure(EXIT_OPEN, NoteText(NOTE_HOST_UNKNOWN, {host, lookup.reason}));
    case HostLookup::Stopped:
        throw Failure(EXIT_INTERRUPTED, "interrupted");
    case HostLookup::Expired:
        break;
    }
    throw Failure(EXIT_OPEN, NoteText(NOTE_HOST_NO_ANSWER, {host}));
}

ExchangeResult Context::TryRun(const Steps& exchange) {
    if (settings_.portKind < PORT_COM || settings_.portKind > PORT_LAN)
        Usage("no interface: give one of --tcp, --serial, --lpt, --usb");
    ++exchanges_;
    PrinterPort port(Connection(), usb_);
    return exchange(port, Limits());
}

ExchangeResult Context::TryExchange(std::span<const std::uint8_t> frame, const ReplyRule* rule) {
    return TryRun([&](PrinterPort& port, const JobLimits& job) { return pemberlux::Exchange(port, frame, rule, job); });
}

ExchangeResult Context::Exchange(std::span<const std::uint8_t> frame, const ReplyRule* rule) {
    ExchangeResult result = TryExchange(frame, rule);
    Check(result, settings_.portKind);
    return result;
}

ExchangeResult Context::Run(const Steps& exchange) {
    ExchangeResult result = TryRun(exchange);
    Check(result, settings_.portKind);
    return result;
}

void Context::Write(std::span<const std::uint8_t> bytes) {
    Run([bytes](PrinterPort& port, const JobLimits& job) { return SendFrame(port, bytes, job); });
}

void Context::Check(const ExchangeResult& result, PortKind kind) const {
    if (result.status == ExchangeResult::Done) {
        // A late reply is whole and used; the user still hears it was late,
        // in words that do not read as the fatal time-out.
        if (result.late && capture_) {
            late_ = true;
        } else if (result.late) {
            Notice("note: the printer answered late (its reply ended after the time-out); the reply is whole and "
                   "the values shown are the printer's");
        }
        return;
    }
    if (result.status == ExchangeResult::Stopped) Fail(EXIT_INTERRUPTED, "interrupted");
    std::string text;
    if (const auto message = ExchangeMessage(result, kind)) text = Text(message->stringId);
    if (text.empty()) text = Tr("port error %1", {std::to_string(static_cast<int>(result.code))});
    // A printer that stopped taking bytes timed out; it did not refuse.
    Failure failure(result.stalled ? EXIT_TIMEOUT : ExitCodeOf(result), text);
    if (result.status == ExchangeResult::OpenFailed) failure.detail = OpenFailureLine(result.open);
    failure.where = Where();
    throw failure;
}

void AddYesFlag(CLI::App& command, Context& ctx) {
    command.add_flag("-y,--yes", ctx.options.yes, "act without asking (asked only when standard input is a terminal)");
}

void Context::SaveIfAsked() {
    if (!options.save || written_ == settings_) return;
    // The launcher's folder may not be there yet when the program never ran.
    std::error_code ec;
    if (settingsFile_.has_parent_path()) std::filesystem::create_directories(settingsFile_.parent_path(), ec);
    // The window's language stays the one the file had; the messages' language is this command's.
    PortSettings saved = settings_;
    if (!fileLanguage_.empty()) saved.language = fileLanguage_;
    if (const FileWrite written = WriteSettingsFile(settingsFile_, saved); !written)
        Fail(EXIT_FILE, "%1: cannot be written (%2)", {settingsFile_.string(), written.Reason()});
    written_ = settings_;
}

Bytes ReadStandardInput(const Context& ctx) {
    const StopWake wake(ctx.Stop());
    Bytes bytes;
    std::uint8_t chunk[65536];
    for (;;) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wake.Fd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (ctx.Stop().stop_requested()) throw Failure(EXIT_INTERRUPTED, "interrupted");
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n < 0) break;
        if (n == 0) return bytes;
        try {
            bytes.insert(bytes.end(), chunk, chunk + n);
        } catch (const std::bad_alloc&) {
            throw Failure(EXIT_FILE, "standard input: too large to hold in memory");
        }
    }
    throw Failure(EXIT_FILE, std::string("standard input: cannot be read (") + std::strerror(errno) + ")");
}

// ---- Output ------------------------------------------------------------------

namespace {

// Set while a document is rendered: texts as they came.
thread_local bool rawText = false;

std::string Scalar(const Json& v) {
    if (v.is_null()) return "-";
    if (v.is_string()) return rawText ? v.get<std::string>() : EscapeControls(v.get<std::string>());
    if (v.is_boolean()) return v.get<bool>() ? "yes" : "no";
    return v.dump();
}

bool IsTable(const Json& v) {
    return v.is_array() && !v.empty() && std::all_of(v.begin(), v.end(), [](const Json& e) { return e.is_object(); });
}

void RenderTable(const Json& rows, std::ostringstream& out) {
    std::vector<std::string> columns;
    for (const Json& row : rows)
        for (const auto& [key, value] : row.items())
            if (std::find(columns.begin(), columns.end(), key) == columns.end()) columns.push_back(key);
    std::vector<std::size_t> width(columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c) {
        width[c] = columns[c].size();
        for (const Json& row : rows)
            width[c] = std::max(width[c], row.contains(columns[c]) ? Scalar(row[columns[c]]).size() : 1);
    }
    auto line = [&](auto cell) {
        std::string text;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            std::string v = cell(c);
            if (c + 1 < columns.size()) v.resize(width[c] + 2, ' ');
            text += v;
        }
        out << text << "\n";
    };
    line([&](std::size_t c) { return columns[c]; });
    for (const Json& row : rows)
        line([&](std::size_t c) { return row.contains(columns[c]) ? Scalar(row[columns[c]]) : std::string("-"); });
}

void RenderObject(const Json& doc, const std::string& prefix, std::ostringstream& out) {
    for (const auto& [key, value] : doc.items()) {
        const std::string name = prefix + (rawText ? key : EscapeControls(key));
        if (value.is_object()) {
            RenderObject(value, name + ".", out);
        } else if (IsTable(value)) {
            out << name << ":\n";
            RenderTable(value, out);
        } else if (value.is_array()) {
            std::vector<std::string> items;
            for (const Json& e : value)
                items.push_back(Scalar(e));
            out << name << ": " << (items.empty() ? "-" : JoinItems(items)) << "\n";
        } else {
            out << name << ": " << Scalar(value) << "\n";
        }
    }
}

} // namespace

std::string EscapeControls(std::string_view text) {
    static const char* const HEX = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    auto escape = [&](const char* prefix, unsigned value, int digits) {
        out += prefix;
        for (int d = digits - 1; d >= 0; --d)
            out += HEX[(value >> (4 * d)) & 0xF];
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\') {
            out += "\\\\";
            ++i;
            continue;
        }
        if (c < 0x20 || c == 0x7F) {
            escape("\\x", c, 2);
            ++i;
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        // A whole UTF-8 sequence (shortest form, no surrogates) stands; anything else is bytes.
        const std::size_t length = c >= 0xC2 && c <= 0xDF   ? 2
                                   : c >= 0xE0 && c <= 0xEF ? 3
                                   : c >= 0xF0 && c <= 0xF4 ? 4
                                                            : 0;
        bool whole = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; whole && k < length; ++k)
            whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (whole && length == 3) {
            const auto c1 = static_cast<unsigned char>(text[i + 1]);
            whole = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);
        }
        if (whole && length == 4) {
            const auto c1 = static_cast<unsigned char>(text[i + 1]);
            whole = !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
        }
        if (!whole) {
            escape("\\x", c, 2);
            ++i;
            continue;
        }
        // The C1 controls (U+0080-U+009F): CSI among them.
        if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            escape("\\u", static_cast<unsigned char>(text[i + 1]), 4);
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

std::string RenderText(const Json& doc, bool raw) {
    rawText = raw;
    std::ostringstream out;
    if (IsTable(doc)) {
        RenderTable(doc, out);
    } else if (doc.is_object()) {
        RenderObject(doc, "", out);
    } else if (!doc.is_array()) {
        out << Scalar(doc) << "\n";
    }
    return out.str();
}

void Context::Print(const Json& doc) {
    if (capture_) {
        printed_.push_back(doc);
        return;
    }
    if (options.json) {
        std::cout << doc.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    } else {
        std::cout << RenderText(doc, options.raw);
        // An empty list says so, where a person reads it and scripts do not.
        if (doc.is_array() && doc.empty()) Notice("none found");
    }
    std::cout.flush();
}

void Context::Progress(std::uint64_t done, std::uint64_t total) {
    if (capture_) {
        transferred_ = transferred_ || done > 0;
        return;
    }
    const int percent = total ? static_cast<int>(done * 100 / total) : 100;
    if (options.json && options.progress) {
        Json line = {{"progress", {{"sent", done}, {"total", total}, {"percent", percent}}}};
        std::cerr << line.dump() << "\n";
    } else if (!options.json && ::isatty(STDERR_FILENO)) {
        const int filled = percent * 40 / 100;
        std::cerr << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
                  << std::string(static_cast<std::size_t>(40 - filled), ' ') << "] " << percent << "% ";
    }
}

void Context::EndProgress() const {
    if (capture_) return;
    if (!options.json && ::isatty(STDERR_FILENO)) std::cerr << "\n";
}

} // namespace pemberlux::cli
