// pemberlux-sim: virtual Tavrel printers on TCP, ptys and a fake USB tree, for
// the demo, the tests and for trying the program without hardware.
#include "DownloadSim.h"
#include "KvPrinterSim.h"
#include "LabelPrinterSim.h"
#include "PrintServerSim.h"
#include "ReceiptPrinterSim.h"
#include "SimFleet.h"
#include "SimPrinter.h"
#include "Transports.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace pemberlux::sim;
namespace fs = std::filesystem;

namespace {

struct UsbId {
    std::string vid, pid;
};

// Everything the command line can say. A model with options of its own adds
// its fields here and its entries to kOptions.
struct Options {
    std::string model = "scripted";
    std::vector<std::uint16_t> tcpPorts;
    bool serial = false;
    bool parallel = false;
    std::vector<UsbId> usb;
    std::string usbRoot;
    int kvPrinters = 0;
    std::uint16_t kvPort = pemberlux::sim::kv::kPort;
    std::vector<Bytes> answers;
    Faults faults;
    std::optional<std::uint64_t> chaosSeed;
    std::string stateFile;
    std::string readyFile;
    unsigned printServers = 0;
    std::uint16_t printServerPort = pemberlux::sim::ps::kPort;
    bool zeroAfterText = true; // label printers' text answers
    std::string printLog;
    int fleet = 0;
    std::uint16_t fleetPort = 9100;
    int fleetFaults = 0;
    std::chrono::milliseconds fleetLate{3000};
    std::string targetsFile;
    bool help = false;
    bool version = false;
};

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

unsigned long ParseNumber(const std::string& text, unsigned long max, const char* what) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        throw UsageError(std::string(what) + " must be a decimal number: '" + text + "'");
    errno = 0;
    unsigned long v = std::strtoul(text.c_str(), nullptr, 10);
    if (errno == ERANGE || v > max) throw UsageError(std::string(what) + " out of range: " + text);
    return v;
}

// "1b40", "1B 40" and "1b:40" all give 1B 40.
Bytes ParseHex(const std::string& text) {
    Bytes out;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == ',') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) throw UsageError("not a hex byte string: '" + text + "'");
        int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    if (high >= 0 || out.empty()) throw UsageError("a hex byte string needs whole bytes: '" + text + "'");
    return out;
}

UsbId ParseUsbId(const std::string& text) {
    auto colon = text.find(':');
    auto hex4 = [&](const std::string& s) {
        return !s.empty() && s.size() <= 4 &&
               std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isxdigit(c); });
    };
    if (colon == std::string::npos || !hex4(text.substr(0, colon)) || !hex4(text.substr(colon + 1)))
        throw UsageError("--usb wants VID:PID in hex, e.g. 3A7E:5E10: '" + text + "'");
    // Four lower-case digits, as sysfs shows them.
    auto norm = [](std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return std::string(4 - s.size(), '0') + s;
    };
    return {norm(text.substr(0, colon)), norm(text.substr(colon + 1))};
}

struct OptionSpec {
    const char* name;
    const char* arg; // nullptr: a flag
    const char* help;
    std::function<void(Options&, const std::string&)> apply;
};

const std::vector<OptionSpec>& OptionTable() {
    static const std::vector<OptionSpec> table = {
        {"--model", "NAME", "printer model to simulate (see Models below); default scripted",
         [](Options& o, const std::string& v) { o.model = v; }},
        {"--tcp", "PORT",
         "a printer listening on 127.0.0.1:PORT (0 picks a free port); repeat for more printers. "
         "The demo uses --tcp 9100",
         [](Options& o, const std::string& v) {
             o.tcpPorts.push_back(static_cast<std::uint16_t>(ParseNumber(v, 65535, "--tcp")));
         }},
        {"--serial", nullptr, "a printer on a pty used as serial port; prints its path",
         [](Options& o, const std::string&) { o.serial = true; }},
        {"--parallel", nullptr, "a printer on a pty used as parallel port; prints its path",
         [](Options& o, const std::string&) { o.parallel = true; }},
        {"--usb", "VID:PID", "a USB printer with these ids (hex) in a fake sysfs tree; repeat for more printers",
         [](Options& o, const std::string& v) { o.usb.push_back(ParseUsbId(v)); }},
        {"--usb-root", "DIR", "folder of the fake USB tree (DIR/sys, DIR/dev); default a new temporary folder",
         [](Options& o, const std::string& v) { o.usbRoot = v; }},
        {"--kv-printers", "N",
         "N label printers answering the key-value network configuration protocol on the loopback "
         "broadcast (UDP 22094); --answer-delay and --silent apply to them too",
         [](Options& o, const std::string& v) {
             o.kvPrinters = static_cast<int>(ParseNumber(v, 1000, "--kv-printers"));
         }},
        {"--kv-port", "PORT", "UDP port of the --kv-printers instead of 22094",
         [](Options& o, const std::string& v) {
             o.kvPort = static_cast<std::uint16_t>(ParseNumber(v, 65535, "--kv-port"));
         }},
        {"--answer", "HEX",
         "answer every chunk received with these bytes; given several times, the first answers "
         "are used once each in order and the last one for every chunk after them",
         [](Options& o, const std::string& v) { o.answers.push_back(ParseHex(v)); }},
        {"--answer-delay", "MS", "wait MS milliseconds before every answer (late answer)",
         [](Options& o, const std::string& v) {
             o.faults.answerDelay = std::chrono::milliseconds(ParseNumber(v, 3600000, "--answer-delay"));
         }},
        {"--short-answer", "N", "cut every answer to at most N bytes",
         [](Options& o, const std::string& v) { o.faults.shortAnswer = ParseNumber(v, 1u << 30, "--short-answer"); }},
        {"--garbage", nullptr, "replace every answer byte with a different one",
         [](Options& o, const std::string&) { o.faults.garbage = true; }},
        {"--drop-after", "N",
         "drop the client once a connection has brought N bytes (TCP: close; pty: hang up the line)",
         [](Options& o, const std::string& v) {
             o.faults.dropAfter = ParseNumber(v, 1ul << 40, "--drop-after");
             if (o.faults.dropAfter == 0) throw UsageError("--drop-after needs at least 1 byte");
         }},
        {"--busy-after", "N", "once a connection has brought N bytes, read nothing for --busy-ms (default 15000)",
         [](Options& o, const std::string& v) {
             o.faults.busyAfter = ParseNumber(v, 1ul << 40, "--busy-after");
             if (o.faults.busyAfter == 0) throw UsageError("--busy-after needs at least 1 byte");
             if (o.faults.busyFor.count() == 0) o.faults.busyFor = std::chrono::milliseconds(15000);
         }},
        {"--busy-ms", "MS", "how long a busy printer reads nothing",
         [](Options& o, const std::string& v) {
             o.faults.busyFor = std::chrono::milliseconds(ParseNumber(v, 3600000, "--busy-ms"));
         }},
        {"--text-without-zero", nullptr,
         "label printers send their text answers (serial number, firmware version, statistics) "
         "without the zero byte that ends them",
         [](Options& o, const std::string&) { o.zeroAfterText = false; }},
        {"--chaos", "SEED",
         "chaos mode: every chunk received and every TCP connection gets a fault picked at random "
         "(none, silent, late, short, garbage, split, dropped, reset, slow reader, status burst); "
         "the same SEED gives the same faults for the same exchanges. Printer n (TCP ones first, "
         "then serial, parallel, USB) uses SEED + n. The state file records the faults",
         [](Options& o, const std::string& v) {
             o.chaosSeed = ParseNumber(v, std::numeric_limits<unsigned long>::max(), "--chaos");
         }},
        {"--silent", nullptr, "record everything, answer nothing",
         [](Options& o, const std::string&) { o.faults.silent = true; }},
        {"--print-servers", "N",
         "N print servers answering the print-server protocol on the loopback broadcast "
         "127.255.255.255 (the program needs PEMBERLUX_BROADCAST_ADDR=127.255.255.255)",
         [](Options& o, const std::string& v) {
             o.printServers = static_cast<unsigned>(ParseNumber(v, 1000, "--print-servers"));
         }},
        {"--print-server-port", "PORT", "UDP port of the print servers; default 1901 (0 picks a free port)",
         [](Options& o, const std::string& v) {
             o.printServerPort = static_cast<std::uint16_t>(ParseNumber(v, 65535, "--print-server-port"));
         }},
        {"--fleet", "N",
         "N networked printers at once, for fleet tools: printer k listens on 127.1.(k/250).(k%250+1) at "
         "--fleet-port, the models take turns (LB-610, LB-710, LB-600, TR-510, TR-520), and each answers the "
         "print-server search (--print-server-port) with its own MAC, address, model and print port; "
         "the fault options apply to all of them",
         [](Options& o, const std::string& v) { o.fleet = static_cast<int>(ParseNumber(v, 62500, "--fleet")); }},
        {"--fleet-port", "PORT", "print port of every --fleet printer; default 9100 (0 picks a free port for each)",
         [](Options& o, const std::string& v) {
             o.fleetPort = static_cast<std::uint16_t>(ParseNumber(v, 65535, "--fleet-port"));
         }},
        {"--fleet-faults", "K",
         "every K-th --fleet printer misbehaves on its print port, in turn: silent, late (--fleet-late-ms), "
         "dropping the connection at the first byte",
         [](Options& o, const std::string& v) {
             o.fleetFaults = static_cast<int>(ParseNumber(v, 62500, "--fleet-faults"));
         }},
        {"--fleet-late-ms", "MS", "how late the late --fleet printers answer; default 3000",
         [](Options& o, const std::string& v) {
             o.fleetLate = std::chrono::milliseconds(ParseNumber(v, 3600000, "--fleet-late-ms"));
         }},
        {"--targets-file", "FILE",
         "write the --fleet printers as a pemberlux-cli targets file (tcp:ADDRESS:PORT MODEL a line)",
         [](Options& o, const std::string& v) { o.targetsFile = v; }},
        {"--state-file", "FILE", "write the printers' state as JSON to FILE on SIGUSR1 and on exit",
         [](Options& o, const std::string& v) { o.stateFile = v; }},
        {"--ready-file", "FILE", "write the client settings to FILE once everything listens",
         [](Options& o, const std::string& v) { o.readyFile = v; }},
        {"--print-log", "FILE",
         "append what every printer prints to FILE as it comes: text lines and commands by name "
         "(\"ESC i: full cut\"), each line headed by the printer's transport",
         [](Options& o, const std::string& v) { o.printLog = v; }},
        {"--help", nullptr, "this text", [](Options& o, const std::string&) { o.help = true; }},
        {"--version", nullptr, "the simulator's version", [](Options& o, const std::string&) { o.version = true; }},
    };
    return table;
}

// ---------------------------------------------------------------------------
// Models: a new one is one function and one line in ModelTable().

struct ModelSpec {
    const char* name;
    const char* description;
    std::function<std::unique_ptr<SimPrinter>(const Options&)> make;
};

std::unique_ptr<SimPrinter> MakeLabelPrinter(LabelModel model, const Options& options) {
    auto printer = std::make_unique<LabelPrinterSim>(model);
    printer->SetZeroAfterText(options.zeroAfterText);
    return printer;
}

const std::vector<ModelSpec>& ModelTable() {
    static const std::vector<ModelSpec> table = {
        {"scripted", "answers only what --answer says, records everything",
         [](const Options&) { return std::make_unique<SimPrinter>(); }},
        {"LB-610",
         "label printer, 200 DPI: settings, serial line, factory reset, self-test, calibration, "
         "serial number, firmware version, statistics",
         [](const Options& o) { return MakeLabelPrinter(LabelModel::LB610, o); }},
        {"LB-710", "label printer, 300 DPI, as LB-610",
         [](const Options& o) { return MakeLabelPrinter(LabelModel::LB710, o); }},
        {"LB-600", "label printer, 200 DPI, as LB-610",
         [](const Options& o) { return MakeLabelPrinter(LabelModel::LB600, o); }},
        {"TR-510", "receipt printer without cutter: settings, serial line, restore",
         [](const Options&) { return std::make_unique<ReceiptPrinterSim>(ReceiptModel::TR510); }},
        {"TR-520", "receipt printer with cutter, as TR-510",
         [](const Options&) { return std::make_unique<ReceiptPrinterSim>(ReceiptModel::TR520); }},
        {"TR-530", "the TR-520 under its Chinese name",
         [](const Options&) { return std::make_unique<ReceiptPrinterSim>(ReceiptModel::TR520); }},
        {"download",
         "a printer's loader taking a firmware (UDFW), CG (UDCG) or raw image; with --usb 3A7E:41A2 the receipt "
         "printers' download",
         [](const Options&) { return std::make_unique<DownloadSim>(); }},
    };
    return table;
}

// The printer behind one transport: the model, then the script and the faults,
// which apply to every model.
std::unique_ptr<SimPrinter> MakePrinter(const Options& options) {
    for (const ModelSpec& m : ModelTable()) {
        if (options.model != m.name) continue;
        std::unique_ptr<SimPrinter> printer = m.make(options);
        for (std::size_t i = 0; i + 1 < options.answers.size(); ++i)
            printer->QueueAnswer(Answer{options.answers[i]});
        if (!options.answers.empty()) printer->SetDefaultAnswer({Answer{options.answers.back()}});
        printer->SetFaults(options.faults);
        return printer;
    }
    throw UsageError("unknown model '" + options.model + "' (see --help)");
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i], value;
        if (arg == "-h") arg = "--help";
        auto eq = arg.find('=');
        bool inlineValue = arg.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inlineValue) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        const OptionSpec* option = nullptr;
        for (const OptionSpec& s : OptionTable())
            if (arg == s.name) option = &s;
        if (!option) throw UsageError("unknown option '" + arg + "' (see --help)");
        if (option->arg && !inlineValue) {
            if (i + 1 >= argc) throw UsageError(arg + " needs " + option->arg);
            value = argv[++i];
        } else if (!option->arg && inlineValue) {
            throw UsageError(arg + " takes no value");
        }
        option->apply(o, value);
    }
    return o;
}

// One entry of the help: the name in the first 24 columns, the text beside it
// wrapped at about 80 columns (the layout help2man turns into a list).
void PrintEntry(std::ostream& out, const std::string& head, const std::string& help) {
    out << head;
    if (head.size() < 24)
        out << std::string(24 - head.size(), ' ');
    else
        out << "\n" << std::string(24, ' ');
    std::istringstream words(help);
    std::string word;
    std::size_t col = 24;
    bool first = true;
    while (words >> word) {
        if (!first && col + 1 + word.size() > 79) {
            out << "\n" << std::string(24, ' ');
            col = 24;
            first = true;
        }
        if (!first) {
            out << ' ';
            ++col;
        }
        out << word;
        col += word.size();
        first = false;
    }
    out << "\n";
}

void PrintHelp(std::ostream& out) {
    out << "Usage: pemberlux-sim [OPTIONS]\n"
           "Virtual Tavrel printers for the Pemberlux program. Every transport given is a\n"
           "printer of its own; the simulator runs until SIGINT or SIGTERM.\n\nOptions:\n";
    for (const OptionSpec& s : OptionTable())
        PrintEntry(out, std::string("  ") + s.name + (s.arg ? std::string(" ") + s.arg : ""), s.help);
    out << "\nModels:\n";
    for (const ModelSpec& m : ModelTable())
        PrintEntry(out, std::string("  ") + m.name, m.description);
    out << R"(
Connecting the Pemberlux program (pemberlux.ini in its working folder):
  TCP       [PortType] CurPortType=4, [LAN] IpAddr=127.0.0.1, ListenPort=PORT
  serial    [PortType] CurPortType=1, [COM] PortName=<pty path printed>; any
            baud rate, parity, data bits, stop bits and flow control work
  parallel  [PortType] CurPortType=2, [LPT] PortName=<pty path printed>
  USB       [PortType] CurPortType=3, and in the program's environment
            PEMBERLUX_SYSFS_ROOT and PEMBERLUX_DEV_ROOT as printed. The program
            picks printers by id: label printers vendor 3A7E or 5E10 with any
            product (e.g. --usb 3A7E:5E10), TR-510 3A7E:41A2, TR-520/TR-530
            3A7E:41A3
  print servers  PEMBERLUX_BROADCAST_ADDR=127.255.255.255 in the program's
            environment; its network search finds them (printer models other
            than LB-610 and LB-710)

Once everything listens, the simulator prints '#' notes and KEY=VALUE lines
(shell syntax): PEMBERLUX_SIM_TCP_PORT (the first), PEMBERLUX_SIM_TCP_PORTS,
PEMBERLUX_SIM_SERIAL, PEMBERLUX_SIM_PARALLEL, PEMBERLUX_SYSFS_ROOT,
PEMBERLUX_DEV_ROOT, PEMBERLUX_SIM_USB_NODES, PEMBERLUX_SIM_PRINT_SERVER_PORT,
PEMBERLUX_SIM_KV_PORT and PEMBERLUX_SIM_KV_PRINTERS with PEMBERLUX_BROADCAST_ADDR,
PEMBERLUX_SIM_FLEET, PEMBERLUX_SIM_MODEL and PEMBERLUX_SIM_PID, for the transports
started.
--ready-file gets the same
lines, written whole at once, so a script can wait for the file and source it;
the file is removed again on exit. SIGUSR1 writes the state file.

Examples:
  pemberlux-sim --tcp 9100 --answer 06
  pemberlux-sim --serial --answer-delay 500 --answer "1b 40 00"
  pemberlux-sim --usb 3A7E:5E10 --ready-file /tmp/sim.ready &
  while [ ! -e /tmp/sim.ready ]; do sleep 0.1; done
  set -a; . /tmp/sim.ready; set +a    # exports PEMBERLUX_SYSFS_ROOT, ...
)";
}

// ---------------------------------------------------------------------------

struct Endpoint {
    std::string transport; // tcp, serial, parallel, usb
    std::string json;      // where it is, as JSON fields
    SimPrinter* printer;
};

std::string ShellQuote(const std::string& s) {
    if (!s.empty() &&
        std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isalnum(c) || std::strchr("/._-:+@%", c); }))
        return s;
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Written to a temporary file and renamed, so readers never see half of it.
void WriteFileAtomically(const std::string& path, const std::string& text) {
    std::string tmp = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) throw std::runtime_error("cannot write " + tmp);
    }
    std::error_code ec;
    fs::rename(tmp, path, ec);
    if (ec) {
        fs::remove(tmp, ec);
        throw std::runtime_error("cannot write " + path);
    }
}

std::string StateJson(const std::vector<Endpoint>& endpoints, const PrintServerSim* printServers,
                      const KvPrinterFleet* kv, const std::string& loaderState) {
    std::string out = "{\"pid\":" + std::to_string(getpid()) + ",\"printers\":[";
    for (std::size_t i = 0; i < endpoints.size(); ++i) {
        if (i) out += ",";
        out += "{\"transport\":" + JsonString(endpoints[i].transport) + "," + endpoints[i].json +
               ",\"state\":" + endpoints[i].printer->StateJson() + "}";
    }
    out += "]";
    if (!loaderState.empty()) out += ",\"download_mode_loader\":" + loaderState;
    if (printServers) out += ",\"print_server_network\":" + printServers->StateJson();
    if (kv) {
        out += ",\"kv_printers\":[";
        for (std::size_t i = 0; i < kv->Size(); ++i)
            out += (i ? "," : "") + (*kv)[i].StateJson();
        out += "]";
    }
    return out + "}\n";
}

// The default root of the fake USB tree, removed with everything in it.
struct TempFolder {
    fs::path path;
    void Make() {
        std::string pattern = (fs::temp_directory_path() / "pemberlux-sim-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
        path = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
};

int Run(const Options& options) {
    if (options.tcpPorts.empty() && !options.serial && !options.parallel && options.usb.empty() &&
        options.printServers == 0 && options.kvPrinters == 0 && options.fleet == 0)
        throw UsageError("nothing to simulate: give --tcp, --serial, --parallel, --usb, --print-servers, "
                         "--kv-printers or --fleet (see --help)");
    MakePrinter(options); // an unknown model is a usage error before anything starts

    // Signals are taken by sigwait below; every thread started later inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    // Everything the printers print, in one readable file; it outlives them all.
    std::ofstream printLog;
    std::mutex printLogMutex;
    // Printers are declared before the transports so they outlive them.
    std::vector<std::unique_ptr<SimPrinter>> printers;
    std::vector<Endpoint> endpoints;
    std::vector<std::unique_ptr<TcpServer>> tcp;
    std::vector<std::unique_ptr<PtyPort>> ptys;
    TempFolder usbTemp;
    // A label printer's loader, on USB once the printer got the download mode command.
    std::mutex loaderMutex;
    std::unique_ptr<DownloadSim> loader;
    std::unique_ptr<FakeUsbTree> usbTree;
    std::unique_ptr<PrintServerSim> printServers;
    std::unique_ptr<KvPrinterFleet> kvFleet;
    std::unique_ptr<SimFleet> fleet;
    std::ostringstream settings, notes;

    auto newPrinter = [&] {
        SimPrinter* p = printers.emplace_back(MakePrinter(options)).get();
        if (options.chaosSeed) p->SetChaos(*options.chaosSeed + printers.size() - 1);
        return p;
    };

    std::string tcpList;
    for (std::uint16_t port : options.tcpPorts) {
        SimPrinter* p = newPrinter();
        auto& server = tcp.emplace_back(std::make_unique<TcpServer>(*p, port));
        const std::string real = std::to_string(server->Port());
        tcpList += (tcpList.empty() ? "" : " ") + real;
        endpoints.push_back({"tcp", "\"address\":\"127.0.0.1\",\"port\":" + real, p});
        notes << "# TCP printer: [PortType] CurPortType=4, [LAN] IpAddr=127.0.0.1, ListenPort=" << real << "\n";
    }
    if (!tcpList.empty()) {
        settings << "PEMBERLUX_SIM_TCP_PORT=" << tcpList.substr(0, tcpList.find(' ')) << "\n";
        settings << "PEMBERLUX_SIM_TCP_PORTS=" << ShellQuote(tcpList) << "\n";
    }
    auto addPty = [&](const char* kind, const char* key, const char* ini) {
        SimPrinter* p = newPrinter();
        auto& pty = ptys.emplace_back(std::make_unique<PtyPort>(*p));
        endpoints.push_back({kind, "\"path\":" + JsonString(pty->Path()), p});
        settings << key << "=" << ShellQuote(pty->Path()) << "\n";
        notes << "# " << kind << " printer: " << ini << pty->Path() << "\n";
    };
    if (options.serial) addPty("serial", "PEMBERLUX_SIM_SERIAL", "[PortType] CurPortType=1, [COM] PortName=");
    if (options.parallel) addPty("parallel", "PEMBERLUX_SIM_PARALLEL", "[PortType] CurPortType=2, [LPT] PortName=");
    if (!options.usb.empty()) {
        if (options.usbRoot.empty()) usbTemp.Make();
        usbTree = std::make_unique<FakeUsbTree>(options.usbRoot.empty() ? usbTemp.path : fs::path(options.usbRoot));
        std::string nodes;
        for (const UsbId& id : options.usb) {
            SimPrinter* p = newPrinter();
            std::string node = usbTree->AddPrinter(*p, id.vid, id.pid);
            nodes += (nodes.empty() ? "" : " ") + node;
            endpoints.push_back(
                {"usb",
                 "\"vid\":" + JsonString(id.vid) + ",\"pid\":" + JsonString(id.pid) + ",\"node\":" + JsonString(node),
                 p});
            notes << "# USB printer " << id.vid << ":" << id.pid << " at " << node << "\n";
        }
        notes << "# USB printers: [PortType] CurPortType=3, and export the two PEMBERLUX_*_ROOT lines\n";
        settings << "PEMBERLUX_SYSFS_ROOT=" << ShellQuote(usbTree->SysfsRoot().string()) << "\n";
        settings << "PEMBERLUX_DEV_ROOT=" << ShellQuote(usbTree->DevRoot().string()) << "\n";
        settings << "PEMBERLUX_SIM_USB_NODES=" << ShellQuote(nodes) << "\n";
        for (auto& printer : printers) {
            auto* label = dynamic_cast<LabelPrinterSim*>(printer.get());
            if (!label) continue;
            label->SetDownloadModeHook([&loaderMutex, &loader, &usbTree] {
                std::lock_guard lock(loaderMutex);
                if (loader || !usbTree) return;
                loader = std::make_unique<DownloadSim>();
                const std::string node = usbTree->AddPrinter(*loader, "3A7E", "5E10");
                std::cerr << "pemberlux-sim: download mode: loader 3A7E:5E10 at " << node << "\n";
            });
        }
        notes << "# A label printer that gets the download mode command adds its loader, USB 3A7E:5E10\n";
    }
    if (options.printServers > 0) {
        printServers = std::make_unique<PrintServerSim>(options.printServerPort);
        for (unsigned i = 0; i < options.printServers; ++i)
            printServers->Add(MakePrintServer(static_cast<int>(i)));
        notes << "# " << options.printServers << " print servers on UDP " << printServers->Port()
              << " of the loopback broadcast: run the program with PEMBERLUX_BROADCAST_ADDR=127.255.255.255\n";
        settings << "PEMBERLUX_SIM_PRINT_SERVER_PORT=" << printServers->Port() << "\n";
    }
    if (options.kvPrinters > 0) {
        KvPrinterOptions kv;
        kv.replyDelay = options.faults.answerDelay;
        kv.silent = options.faults.silent;
        kvFleet = std::make_unique<KvPrinterFleet>(options.kvPrinters, options.kvPort, kv);
        if (!kvFleet->Listening()) throw std::runtime_error("cannot bind UDP port " + std::to_string(options.kvPort));
        notes << "# " << options.kvPrinters << " key-value label printers on UDP " << options.kvPort
              << " of the loopback broadcast: run the program with PEMBERLUX_BROADCAST_ADDR=127.255.255.255\n";
        settings << "PEMBERLUX_SIM_KV_PORT=" << options.kvPort << "\n";
        settings << "PEMBERLUX_SIM_KV_PRINTERS=" << options.kvPrinters << "\n";
    }
    if (options.fleet > 0) {
        FleetOptions f;
        f.count = options.fleet;
        f.printPort = options.fleetPort;
        f.searchPort = options.printServerPort;
        f.faultEvery = options.fleetFaults;
        f.lateBy = options.fleetLate;
        f.common = options.faults;
        fleet = std::make_unique<SimFleet>(f);
        std::string targets;
        for (std::size_t k = 0; k < fleet->Size(); ++k) {
            const SimFleet::Member& m = (*fleet)[k];
            endpoints.push_back({"tcp",
                                 "\"address\":" + JsonString(m.address) + ",\"mac\":" + JsonString(m.mac) +
                                     ",\"fault\":" + JsonString(SimFleet::FaultName(m.fault)) +
                                     ",\"port\":" + std::to_string(m.port),
                                 m.printer});
            targets += "tcp:" + m.address + ":" + std::to_string(m.port) + " " + m.model + "\n";
        }
        if (!options.targetsFile.empty()) WriteFileAtomically(options.targetsFile, targets);
        notes << "# a fleet of " << options.fleet << " printers on 127.1.0.1 and up, answering the print-server "
              << "search on UDP " << fleet->SearchPort() << " of the loopback broadcast\n";
        settings << "PEMBERLUX_SIM_FLEET=" << options.fleet << "\n";
        settings << "PEMBERLUX_SIM_PRINT_SERVER_PORT=" << fleet->SearchPort() << "\n";
    }
    if (printServers || kvFleet || fleet) {
        // The program's broadcasts must reach the simulated printers on loopback.
        settings << "PEMBERLUX_BROADCAST_ADDR=127.255.255.255\n";
    }
    settings << "PEMBERLUX_SIM_MODEL=" << ShellQuote(options.model) << "\n";
    settings << "PEMBERLUX_SIM_PID=" << getpid() << "\n";

    if (!options.printLog.empty()) {
        printLog.open(options.printLog, std::ios::app);
        if (!printLog) throw std::runtime_error("cannot write " + options.printLog);
        for (const Endpoint& e : endpoints) {
            const std::string head =
                e.transport + (e.transport == "tcp" ? " " + e.json.substr(e.json.rfind(':') + 1) : "");
            e.printer->SetPrintSink([&printLog, &printLogMutex, head](const std::string& line) {
                std::lock_guard lock(printLogMutex);
                printLog << head << " | " << line << "\n" << std::flush;
            });
        }
        notes << "# printed lines go to " << options.printLog << "\n";
    }

    std::cout << notes.str() << settings.str() << std::flush;
    if (!options.readyFile.empty()) WriteFileAtomically(options.readyFile, settings.str());

    auto writeState = [&] {
        if (options.stateFile.empty()) return;
        try {
            std::string loaderState;
            {
                std::lock_guard lock(loaderMutex);
                if (loader) loaderState = loader->StateJson();
            }
            WriteFileAtomically(options.stateFile,
                                StateJson(endpoints, printServers.get(), kvFleet.get(), loaderState));
        } catch (const std::exception& e) {
            std::cerr << "pemberlux-sim: " << e.what() << "\n";
        }
    };
    for (;;) {
        int sig = 0;
        if (sigwait(&signals, &sig) != 0) continue;
        if (sig == SIGUSR1) {
            writeState();
            continue;
        }
        break;
    }

    // Transports first: no more bytes arrive while the state is taken.
    {
        std::lock_guard lock(loaderMutex);
        usbTree.reset();
    }
    ptys.clear();
    tcp.clear();
    if (fleet) fleet->Stop();
    for (const Endpoint& e : endpoints)
        e.printer->SetPrintSink(nullptr);
    writeState();
    printServers.reset();
    kvFleet.reset();
    if (!options.readyFile.empty()) {
        std::error_code ec;
        fs::remove(options.readyFile, ec);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        Options options = ParseOptions(argc, argv);
        if (options.help) {
            PrintHelp(std::cout);
            return 0;
        }
        if (options.version) {
            std::cout << "pemberlux-sim " PEMBERLUX_SIM_VERSION "\n";
            return 0;
        }
        return Run(options);
    } catch (const UsageError& e) {
        std::cerr << "pemberlux-sim: " << e.what() << "\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "pemberlux-sim: " << e.what() << "\n";
        return 1;
    }
}
