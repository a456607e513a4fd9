// The program's window against printers in chaos mode, offscreen: the label
// and receipt pages (get, send, reset), the command test page (text,
// hexadecimal bytes, a file), the firmware page, and the Wi-Fi and Bluetooth
// dialogs, each action a round of its own with the printer's chaos seeded
// anew. After every action: the job ended; the GUI thread was never busy
// long (a timer's lateness on the event loop); every control the click
// disabled is enabled again; a success (a success text, or no failure text
// where the page says nothing on success) only with the whole frame or
// transfer in the printer's record; no device lock left; no thread left.
// Also the long run's process figures (memory, descriptors, threads).
// Shared by the window soak test and its benchmark.
#pragma once

#include "ChaosCampaign.h"
#include "DownloadSim.h"
#include "LabelPrinterSim.h"
#include "Patterns.h"
#include "ProcessFigures.h"
#include "QtTestSupport.h"
#include "ReceiptPrinterSim.h"
#include "Records.h"
#include "SimFleet.h"
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"
#include "core/base/SettingsFile.h"
#include "core/base/UiText.h"
#include "core/label/LabelCommands.h"
#include "core/port/JobPool.h"
#include "core/receipt/ReceiptCommands.h"
#include "ui/app/PemberluxDlg.h"
#include "ui/command/CommandTest.h"
#include "ui/command/UpgradeFW.h"
#include "ui/label/PrintingSetupLB610_1.h"
#include "ui/receipt/InternalSetupTR510.h"
#include "ui/toolkit/FileDialog.h"
#include "ui/toolkit/MessageBox.h"
#include "ui/wireless/BluetoothSetupDlg.h"
#include "ui/wireless/WifiSetupDlg_LB610.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace pemberlux::test::soak {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using chaos::Contains;
using chaos::HANG_BOUND;
using sim::Bytes;

// ---- The process's figures ----------------------------------------------------

// The names of this process's threads.
inline std::vector<std::string> ThreadNames() {
    std::vector<std::string> names;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (const dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.') continue;
            std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
            std::getline(comm, names.emplace_back());
        }
        ::closedir(d);
    }
    return names;
}
// The threads, but those of Qt's own thread pool: it keeps an idle thread for
// 30 s after its work, by design.
inline std::size_t Threads() {
    const std::vector<std::string> names = ThreadNames();
    return static_cast<std::size_t>(
        std::count_if(names.begin(), names.end(), [](const std::string& n) { return n != "Thread (pooled)"; }));
}
// How long the GUI thread kept the event loop from a 10 ms timer: every tick's
// lateness, the worst of them and where it happened, and how many ticks were
// later than the bound.
class LatencyProbe {
public:
    static constexpr std::chrono::milliseconds TICK{10};

    explicit LatencyProbe(std::chrono::milliseconds bound) : bound_(bound) {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Tick(); });
    }
    // Measures from now on, under the name `where`.
    void Start(const std::string& where) {
        where_ = where;
        last_ = Clock::now();
        timer_.start(TICK);
    }
    void Stop() {
        Tick();
        timer_.stop();
    }
    std::chrono::milliseconds Worst() const { return worst_; }
    const std::string& WorstWhere() const { return worstWhere_; }
    std::size_t Late() const { return late_; }
    std::size_t Ticks() const { return ticks_; }

private:
    void Tick() {
        const auto now = Clock::now();
        const auto late = std::chrono::duration_cast<std::chrono::milliseconds>(now - last_) - TICK;
        last_ = now;
        ++ticks_;
        if (late > bound_) ++late_;
        if (late > worst_) {
            worst_ = late;
            worstWhere_ = where_;
        }
    }

    std::chrono::milliseconds bound_;
    QTimer timer_;
    Clock::time_point last_;
    std::string where_;
    std::chrono::milliseconds worst_{0};
    std::string worstWhere_;
    std::size_t late_ = 0, ticks_ = 0;
};

// ---- What is driven -----------------------------------------------------------

enum class Screen { Label, Receipt, Command, Firmware, Wifi, Bluetooth };
enum class Action {
    LabelGet,
    LabelSend,
    LabelReset,
    ReceiptGet,
    ReceiptSend,
    ReceiptReset,
    Text,
    Hex,
    File,
    Firmware,
    WifiConfirm,
    WifiReset,
    BluetoothSend,
    BluetoothGet,
    BluetoothRestore,
};
inline constexpr Action kActions[] = {
    Action::LabelGet,     Action::LabelSend, Action::LabelReset,    Action::ReceiptGet,   Action::ReceiptSend,
    Action::ReceiptReset, Action::Text,      Action::Hex,           Action::File,         Action::Firmware,
    Action::WifiConfirm,  Action::WifiReset, Action::BluetoothSend, Action::BluetoothGet, Action::BluetoothRestore,
};
inline const char* Name(Action a) {
    static const char* const names[] = {
        "label get",      "label send",    "label reset",
        "receipt get",    "receipt send",  "receipt reset",
        "text",           "hex",           "file",
        "firmware",       "wifi confirm",  "wifi reset",
        "bluetooth send", "bluetooth get", "bluetooth restore",
    };
    return names[static_cast<int>(a)];
}
inline Screen ScreenOf(Action a) {
    switch (a) {
    case Action::LabelGet:
    case Action::LabelSend:
    case Action::LabelReset:
        return Screen::Label;
    case Action::ReceiptGet:
    case Action::ReceiptSend:
    case Action::ReceiptReset:
        return Screen::Receipt;
    case Action::Text:
    case Action::Hex:
    case Action::File:
        return Screen::Command;
    case Action::Firmware:
        return Screen::Firmware;
    case Action::WifiConfirm:
    case Action::WifiReset:
        return Screen::Wifi;
    default:
        return Screen::Bluetooth;
    }
}

// Whether `bytes` hold a whole frame of the settings pages: 1B 0D 53, the
// items, 1B 10 45, without the start of another frame before its end.
inline bool HoldsWholeFrame(const Bytes& bytes) {
    static const Bytes start{0x1B, 0x0D, 0x53}, end{0x1B, 0x10, 0x45};
    auto at = std::search(bytes.begin(), bytes.end(), start.begin(), start.end());
    while (at != bytes.end()) {
        const auto next = std::search(at + 3, bytes.end(), start.begin(), start.end());
        if (std::search(at + 3, next, end.begin(), end.end()) != next) return true;
        at = next;
    }
    return false;
}

// The program in a working folder of its own, one screen shown, its printer on
// TCP; message boxes and file dialogs recorded.
class Program {
public:
    explicit Program(Screen screen) : screen_(screen) {
        std::string model = "LB-610";
        switch (screen) {
        case Screen::Label:
        case Screen::Wifi:
        case Screen::Bluetooth:
            label_ = std::make_unique<sim::LabelPrinterSim>();
            printer_ = label_.get();
            break;
        case Screen::Receipt:
            model = "TR-520";
            receipt_ = std::make_unique<sim::ReceiptPrinterSim>(sim::ReceiptModel::TR520);
            printer_ = receipt_.get();
            break;
        case Screen::Command:
            model = "TR-520";
            plain_ = std::make_unique<sim::SimPrinter>();
            printer_ = plain_.get();
            break;
        case Screen::Firmware:
            loader_ = std::make_unique<sim::DownloadSim>();
            printer_ = loader_.get();
            break;
        }
        tcp_ = std::make_unique<sim::TcpServer>(*printer_);
        settings_ = UserRecord(model, PORT_LAN);
        settings_.tcpPort = tcp_->Port();
        key_ = "tcp:127.0.0.1:" + std::to_string(tcp_->Port());
        dir_.Write(SETTINGS_FILE_NAME, FormatSettings(settings_));
        ChooseUiLanguage();
        if (screen == Screen::Wifi) {
            wifi_ = std::make_unique<CWifiSetupDlg_LB610>(settings_);
            wifi_->show();
            return;
        }
        if (screen == Screen::Bluetooth) {
            bluetooth_ = std::make_unique<CBluetoothSetupDlg>(settings_);
            bluetooth_->show();
            return;
        }
        window_ = std::make_unique<CPemberluxDlg>();
        window_->show();
        Show(screen);
    }
    // Another page of the window, chosen in its menu.
    void Show(Screen screen) {
        screen_ = screen;
        const int menu = screen == Screen::Command    ? CPemberluxDlg::MENU_COMMAND_TEST
                         : screen == Screen::Firmware ? CPemberluxDlg::MENU_FIRMWARE
                                                      : CPemberluxDlg::MENU_PRINTER_SETUP;
        window_->ControlAs<QListWidget>(CPemberluxDlg::IDC_MENU_LIST)->setCurrentRow(menu);
    }
    ~Program() {
        wifi_.reset();
        bluetooth_.reset();
        window_.reset();
    }

    Screen GetScreen() const { return screen_; }
    sim::SimPrinter& Printer() { return *printer_; }
    const std::string& DeviceKey() const { return key_; }
    const TempDir& Dir() const { return dir_; }

    // The page or dialog the actions click.
    CWindowBase& Target() const {
        switch (screen_) {
        case Screen::Label:
            return *window_->LabelSetupPage();
        case Screen::Receipt:
            return *window_->ReceiptSetupPage();
        case Screen::Command:
            return *window_->CommandTestPage();
        case Screen::Firmware:
            return *window_->UpgradePage();
        case Screen::Wifi:
            return *wifi_;
        case Screen::Bluetooth:
            break;
        }
        return *bluetooth_;
    }
    void Click(int id) const { static_cast<QAbstractButton*>(Target().Control(id))->click(); }

    MessageRecorder messages;
    FileDialogRecorder files;

private:
    Screen screen_;
    TempDir dir_;
    ScopedCwd cwd_{dir_.Path()};
    ScopedEnv lang_{"LANG", "en_US.UTF-8"};
    ScopedEnv lcAll_{"LC_ALL", nullptr};
    ScopedEnv sysfs_{"PEMBERLUX_SYSFS_ROOT", (dir_.Path() / "no-sys").c_str()};
    ScopedEnv devRoot_{"PEMBERLUX_DEV_ROOT", (dir_.Path() / "no-dev").c_str()};
    std::unique_ptr<sim::LabelPrinterSim> label_;
    std::unique_ptr<sim::ReceiptPrinterSim> receipt_;
    std::unique_ptr<sim::SimPrinter> plain_;
    std::unique_ptr<sim::DownloadSim> loader_;
    sim::SimPrinter* printer_ = nullptr;
    // After the printers: it stops before they go.
    std::unique_ptr<sim::TcpServer> tcp_;
    PortSettings settings_;
    std::string key_;
    std::unique_ptr<CPemberluxDlg> window_;
    std::unique_ptr<CWifiSetupDlg_LB610> wifi_;
    std::unique_ptr<CBluetoothSetupDlg> bluetooth_;
};

// The buttons an action clicks and the bytes its success needs at the printer.
struct Step {
    int button = 0;
    Bytes whole;                         // the frame or transfer, when the action sends a known one
    bool frame = false;                  // a settings frame, when its items vary
    std::optional<StringId> successText; // the text the page shows on success; none: silence
};

// What the soak counted.
struct SoakTally {
    std::size_t rounds = 0, exchanges = 0, successes = 0, failuresTold = 0;
    std::array<std::size_t, sim::kChaosFaultCount> faults{};
    std::vector<std::string> problems;

    std::string Report() const {
        std::ostringstream out;
        out << rounds << " rounds, " << exchanges << " exchanges, " << successes << " successes, " << failuresTold
            << " failures told\nfaults met:";
        for (std::size_t k = 0; k < faults.size(); ++k)
            out << " " << sim::ChaosFaultName(static_cast<sim::ChaosFault>(k)) << " " << faults[k];
        out << "\n";
        return out.str();
    }
};

class WindowSoak {
public:
    // `gui` is the bound for the GUI thread's busy stretches counted as late.
    WindowSoak(std::uint64_t seed, std::chrono::milliseconds gui) : probe(gui), seed_(seed) {}

    // Round `n`: the action `n` picks, the printer's chaos seeded with seed + n.
    void Run(std::size_t n) {
        const Action action = kActions[n % std::size(kActions)];
        const std::uint64_t seed = seed_ + n;
        if (!program_ || program_->GetScreen() != ScreenOf(action)) Open(ScreenOf(action));
        Program& p = *program_;
        sim::SimPrinter& printer = p.Printer();
        std::mt19937_64 random(seed);
        const Step step = Prepare(action, random);

        CWindowBase& target = p.Target();
        std::set<int> enabledBefore;
        for (int id : target.ControlIds())
            if (target.Control(id)->isEnabled()) enabledBefore.insert(id);
        p.messages.Clear();
        printer.ClearReceived();
        printer.SetChaos(seed);
        std::ostringstream where;
        where << "round " << n << " (seed " << seed << ", " << Name(action) << ")";
        probe.Start(where.str());

        p.Click(step.button);
        std::vector<int> disabled;
        for (int id : enabledBefore)
            if (!target.Control(id)->isEnabled()) disabled.push_back(id);
        const bool ended = WaitUntil([&] { return target.WorkersRunning() == 0; }, HANG_BOUND);
        // The controls come back through the GUI thread's queue.
        const bool back = WaitUntil(
            [&] {
                for (int id : disabled)
                    if (!target.Control(id)->isEnabled()) return false;
                return true;
            },
            5s);
        probe.Stop();
        printer.SetChaosActive(false);

        // What the round met.
        std::string faults;
        const std::vector<sim::ChaosExchange> record = printer.ChaosRecord();
        for (const sim::ChaosExchange& e : record) {
            ++tally.faults[static_cast<std::size_t>(e.fault)];
            faults += std::string(faults.empty() ? "" : ",") + sim::ChaosFaultName(e.fault);
        }
        tally.exchanges += record.size();
        ++tally.rounds;

        std::string why;
        bool failureTold = false, successTold = false;
        for (const RecordedMessage& m : p.messages.Messages()) {
            if (m.icon == MessageIcon::Stop || m.icon == MessageIcon::Warning) failureTold = true;
            if (step.successText && m.text == LoadUiString(*step.successText)) successTold = true;
        }
        const bool success = step.successText ? successTold : !failureTold;
        if (!ended) {
            why += " the job still runs after " + std::to_string(HANG_BOUND.count()) + " s;";
        } else if (!back) {
            why += " controls left disabled:";
            for (int id : disabled)
                if (!target.Control(id)->isEnabled()) why += " " + std::to_string(id);
            why += ";";
        }
        if (ended && success && (!step.whole.empty() || step.frame) && !Arrives(printer, step)) {
            why += " success shown, but the printer has " + std::to_string(printer.Received().size()) +
                   " bytes without the whole " + (step.whole.empty() ? "frame" : "transfer") + " (" +
                   HexText(printer.Received(), 48) + ");";
        }
        if (ended) {
            why += chaos::DeviceLeftBehind(p.DeviceKey(), "");
            if (!WaitUntil([&] { return Threads() <= threads_; }, 10s))
                why += " " + std::to_string(Threads() - threads_) + " thread(s) left behind;";
        }
        if (ended && success) ++tally.successes;
        if (ended && failureTold) ++tally.failuresTold;
        if (!why.empty()) tally.problems.push_back(where.str() + ":" + why + " [faults " + faults + "]");
        // The label page's refresh of its edits (a timer after the job) runs
        // before the next round.
        RunEventsFor(150ms);
    }

    // Ends the program of the last rounds.
    void Close() { program_.reset(); }

    SoakTally tally;
    LatencyProbe probe;

private:
    void Open(Screen screen) {
        program_.reset();
        program_ = std::make_unique<Program>(screen);
        threads_ = Threads();
    }

    Step Prepare(Action action, std::mt19937_64& random) {
        Program& p = *program_;
        Step step;
        switch (action) {
        case Action::LabelGet:
            step.button = IDC_GET_PRINTER_SETTINGS;
            break;
        case Action::LabelSend:
            ChooseItem(p.Target(), IDC_PRINT_SPEED, random);
            step.button = IDC_SEND_SETTINGS;
            step.frame = true;
            break;
        case Action::LabelReset:
            step.button = IDC_RESET_ALL_SETTINGS;
            break;
        case Action::ReceiptGet:
            step.button = IDC_RC_GET_PRINTER_SETTINGS;
            break;
        case Action::ReceiptSend:
            ChooseItem(p.Target(), IDC_RC_PAPER_WIDE, random);
            step.button = IDC_RC_SEND_SETTINGS;
            step.frame = true;
            break;
        case Action::ReceiptReset:
            step.button = IDC_RC_RESTORE_ALL_SETTINGS;
            break;
        case Action::Text:
        case Action::Hex: {
            const bool hex = action == Action::Hex;
            auto* box = p.Target().ControlAs<QCheckBox>(CCommandTest::IDC_HEX_SEND);
            if (box->isChecked() != hex) box->click();
            p.Target().ControlAs<QPlainTextEdit>(CCommandTest::IDC_INPUT)->setPlainText(hex ? "1B 40 0A" : "Soak 42");
            step.button = CCommandTest::IDC_SEND_DATA;
            step.whole = hex ? Bytes{0x1B, 0x40, 0x0A} : Bytes{'S', 'o', 'a', 'k', ' ', '4', '2'};
            break;
        }
        case Action::File:
        case Action::Firmware: {
            const Bytes file = Pattern(2048 + random() % 4096);
            const bool firmware = action == Action::Firmware;
            const std::string name = firmware ? "image.FW" : "data.bin";
            p.Dir().Write(name, std::string(file.begin(), file.end()));
            p.files.SetNextFileName((p.Dir().Path() / name).string());
            p.Click(firmware ? int{CUpgradeFW::IDC_BROWSE} : int{CCommandTest::IDC_BROWSE});
            step.button = firmware ? int{CUpgradeFW::IDC_UPDATE} : int{CCommandTest::IDC_SEND_FILE};
            step.whole = file;
            // A firmware image goes out behind its tag.
            if (firmware) step.whole.insert(step.whole.begin(), {'U', 'D', 'F', 'W'});
            step.successText = firmware ? StringId::FirmwareSent : StringId::FileSent;
            break;
        }
        case Action::WifiConfirm:
            step.button = CWifiSetupDlg_LB610::IDC_CONFIRM;
            // The dialog's defaults.
            step.whole = {0x1B, 0x0D, 0x53, 0x1B, 0x3E, 0x02, 0x4C, 0x42, 0x2D, 0x36, 0x31, 0x30, 0x20,
                          0x57, 0x46, 0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0xC0, 0xA8, 0x01, 0x0B, 0xC0,
                          0xA8, 0x01, 0x0B, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x1B, 0x10, 0x45};
            break;
        case Action::WifiReset:
            step.button = CWifiSetupDlg_LB610::IDC_RESET;
            break;
        case Action::BluetoothSend: {
            for (auto [id, text] : {std::pair{CBluetoothSetupDlg::IDC_NAME, "Printer01"},
                                    std::pair{CBluetoothSetupDlg::IDC_PASSWORD, "1234"}}) {
                auto* edit = p.Target().ControlAs<QLineEdit>(id);
                edit->setText(text);
                emit edit->textEdited(edit->text());
            }
            step.button = CBluetoothSetupDlg::IDC_SEND;
            step.whole = {0x1B, 0x0D, 0x48, 0x50, 0x72, 0x69, 0x6E, 0x74, 0x65, 0x72, 0x30, 0x31, 0x00,
                          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x31, 0x32, 0x33, 0x34, 0x00, 0x10};
            break;
        }
        case Action::BluetoothGet:
            step.button = CBluetoothSetupDlg::IDC_GET;
            break;
        case Action::BluetoothRestore:
            step.button = CBluetoothSetupDlg::IDC_RESTORE;
            break;
        }
        return step;
    }

    // A list item picked as a user picks it, so the frame carries the setting.
    static void ChooseItem(CWindowBase& page, int id, std::mt19937_64& random) {
        auto* list = page.ControlAs<QComboBox>(id);
        const int index = static_cast<int>(random() % static_cast<std::uint64_t>(list->count()));
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

    // Whether the printer's record holds what a success needs, once its side
    // of the line has read what it already took (a slow reader takes a while).
    static bool Arrives(const sim::SimPrinter& printer, const Step& step) {
        return WaitUntil(
            [&] {
                const Bytes got = printer.Received();
                return step.frame ? HoldsWholeFrame(got) : Contains(got, step.whole);
            },
            30s);
    }

    std::uint64_t seed_;
    std::unique_ptr<Program> program_;
    std::size_t threads_ = 0;
};

// ---- The long run -------------------------------------------------------------

// The process's resident memory, descriptors and threads at one moment.
struct Figures {
    long rssKb = 0;
    std::size_t descriptors = 0;
    std::size_t threads = 0;

    static Figures Now() { return {ResidentKb(), OpenDescriptors(), Threads()}; }
    std::string Text() const {
        return std::to_string(rssKb) + " KiB resident, " + std::to_string(descriptors) + " descriptors, " +
               std::to_string(threads) + " threads";
    }
};

// Waits (running the GUI thread's events) until the descriptors and threads
// are back to `baseline`'s; the figures then, or at the bound.
inline Figures BackTo(const Figures& baseline, std::chrono::milliseconds bound = 10s) {
    WaitUntil([&] { return OpenDescriptors() <= baseline.descriptors && Threads() <= baseline.threads; }, bound);
    return Figures::Now();
}

// `count` exchanges through the window of a label printer as a user makes
// them, one after the other: on the label page Get Printer Settings and Send
// Settings, then on the command test page a line of text, twice, and so on.
// Returns how many were refused or failed.
inline std::size_t WindowExchanges(Program& p, std::size_t count) {
    std::size_t failed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const bool command = i % 4 >= 2;
        p.Show(command ? Screen::Command : Screen::Label);
        CWindowBase& target = p.Target();
        if (command) target.ControlAs<QPlainTextEdit>(CCommandTest::IDC_INPUT)->setPlainText("Long run");
        const int button = command      ? int{CCommandTest::IDC_SEND_DATA}
                           : i % 4 == 0 ? int{IDC_GET_PRINTER_SETTINGS}
                                        : int{IDC_SEND_SETTINGS};
        p.messages.Clear();
        p.Click(button);
        if (!WaitUntil([&] { return target.WorkersRunning() == 0 && target.Control(button)->isEnabled(); },
                       HANG_BOUND) ||
            p.messages.Count() != 0)
            ++failed;
    }
    return failed;
}

// A fleet of simulated printers on loopback addresses of their own, free ports.
inline sim::FleetOptions FleetOf(int count) {
    sim::FleetOptions o;
    o.count = count;
    o.printPort = 0;
    o.searchPort = 0;
    return o;
}

// One inventory of the whole fleet as the command line's fleet command takes
// it: every printer a job of the pool, 16 at a time; a label printer tells its
// serial number, firmware version and head mileage, a receipt printer its
// settings. Returns how many printers did not answer in full.
inline std::size_t FleetInventory(const sim::SimFleet& fleet) {
    std::atomic<std::size_t> failed{0};
    std::stop_source stop;
    RunJobs(fleet.Size(), 16, 60s, stop.get_token(), [&](std::size_t index, const JobLimits& job) {
        const sim::SimFleet::Member& m = fleet[index];
        PortSettings s = UserRecord(m.model, PORT_LAN);
        s.ipAddress = m.address;
        s.tcpPort = m.port;
        bool ok = true;
        if (m.model.rfind("LB-", 0) == 0) {
            for (LabelTextQuery q :
                 {LabelTextQuery::SerialNumber, LabelTextQuery::FirmwareVersion, LabelTextQuery::Statistics}) {
                PrinterPort port(s, UsbSelection{});
                ok = ok && QueryLabelText(port, q, job).Ok();
            }
        } else {
            PrinterPort port(s, UsbSelection{});
            ok = QueryReceiptSettings(port, job).Ok();
        }
        if (!ok) ++failed;
    });
    return failed;
}

} // namespace pemberlux::test::soak
