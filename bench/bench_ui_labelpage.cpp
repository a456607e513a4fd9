// The label settings page in the program's window against the simulated label
// printer: the CPU a Get Printer Settings burns while it waits out its time-out
// on a silent printer, and the time from the click to the printer's settings
// showing in the lists and edits, over TCP and over a pty as serial line; and
// the time a window takes to close with a job blocked on a stubborn printer.
#include "LabelPrinterSim.h"
#include "Records.h"
#include "Stalls.h"
#include "TempDir.h"
#include "Transports.h"
#include "core/base/SettingsFile.h"
#include "core/port/Exchange.h"
#include "ui/app/PemberluxDlg.h"
#include "ui/label/PrintingSetupLB610_1.h"
#include "ui/toolkit/MessageBox.h"
#include "ui/toolkit/Platform.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>

namespace pemberlux {
namespace {

using Clock = std::chrono::steady_clock;
using Page = CPrintingSetupLB610_1;

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A working folder with pemberlux.ini for the printer, the program's window on
// "Printer Setup", and message boxes recorded instead of shown.
class Program {
public:
    explicit Program(const PortSettings& settings) {
        dir_.Write(SETTINGS_FILE_NAME, FormatSettings(settings));
        ChooseUiLanguage();
        window_ = std::make_unique<CPemberluxDlg>();
        window_->show();
        window_->ControlAs<QListWidget>(CPemberluxDlg::IDC_MENU_LIST)->setCurrentRow(CPemberluxDlg::MENU_PRINTER_SETUP);
    }

    Page& page() const { return *window_->LabelSetupPage(); }
    bool Idle() const {
        if (page().WorkersRunning() != 0) return false;
        for (int id : LB_ACTION_BUTTONS)
            if (!page().Control(id)->isEnabled()) return false;
        return true;
    }
    // Runs the event loop until `done` holds, looking every 20 ms (no spinning).
    void RunUntil(const std::function<bool()>& done) const {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done()) loop.quit();
        });
        poll.start(20);
        if (!done()) loop.exec();
    }

    MessageRecorder messages;

private:
    test::TempDir dir_;
    test::ScopedCwd cwd_{dir_.Path()};
    std::unique_ptr<CPemberluxDlg> window_;
};

PortSettings Record(PortKind kind) {
    return test::UserRecord("LB-610", kind);
}

// CPU of the whole process (GUI thread, worker, in-process simulator) while a
// Get Printer Settings waits 3 s for a printer that never answers.
void BM_SilentPrinterWait(benchmark::State& state) {
    sim::LabelPrinterSim printer;
    sim::Faults silent;
    silent.silent = true;
    printer.SetFaults(silent);
    sim::TcpServer server(printer);
    PortSettings s = Record(PORT_LAN);
    s.tcpPort = server.Port();
    Program program(s);
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double cpu0 = ProcessCpuSeconds();
        const auto t0 = Clock::now();
        static_cast<QPushButton*>(program.page().Control(IDC_GET_PRINTER_SETTINGS))->click();
        program.RunUntil([&] { return program.messages.Count() > 0 && program.Idle(); });
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(seconds);
        wall += seconds;
        cpu += ProcessCpuSeconds() - cpu0;
        program.messages.Clear();
    }
    state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / wall;
}
BENCHMARK(BM_SilentPrinterWait)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// From the click to the reply in the lists (at once) and in the edits (after
// the 100 ms refresh timer).
void ClickToFields(benchmark::State& state, bool serial) {
    sim::LabelPrinterSim printer;
    std::unique_ptr<sim::TcpServer> tcp;
    std::unique_ptr<sim::PtyPort> pty;
    PortSettings s = Record(serial ? PORT_COM : PORT_LAN);
    if (serial) {
        pty = std::make_unique<sim::PtyPort>(printer);
        s.comName = pty->Path();
    } else {
        tcp = std::make_unique<sim::TcpServer>(printer);
        s.tcpPort = tcp->Port();
    }
    Program program(s);
    QComboBox* density = program.page().List(LS_PRINT_DENSITY);
    QLineEdit* offset = program.page().Edit(LS_PRINT_HOME_OFFSET);
    double toLists = 0;
    int dots = 0;
    for (auto _ : state) {
        // A new value every time, so both controls change.
        ++dots;
        printer.SetSetting(LS_PRINT_HOME_OFFSET, dots);
        printer.SetSetting(LS_PRINT_DENSITY, dots % 2);
        const QString expected = QString::fromStdString(DotsToMillimetresText(static_cast<std::int16_t>(dots)));
        std::optional<Clock::time_point> listAt, editAt;
        auto c1 = QObject::connect(density, &QComboBox::currentIndexChanged, density, [&] { listAt = Clock::now(); });
        auto c2 = QObject::connect(offset, &QLineEdit::textChanged, offset, [&] {
            if (offset->text() == expected) editAt = Clock::now();
        });
        const auto t0 = Clock::now();
        static_cast<QPushButton*>(program.page().Control(IDC_GET_PRINTER_SETTINGS))->click();
        program.RunUntil([&] { return editAt.has_value() && program.Idle(); });
        QObject::disconnect(c1);
        QObject::disconnect(c2);
        state.SetIterationTime(std::chrono::duration<double>(*editAt - t0).count());
        if (listAt) toLists += std::chrono::duration<double, std::milli>(*listAt - t0).count();
        if (program.messages.Count() > 0) state.SkipWithError("the page showed a message");
    }
    state.counters["to_lists_ms"] = benchmark::Counter(toLists, benchmark::Counter::kAvgIterations);
}

void BM_ClickToFieldsTcp(benchmark::State& state) {
    ClickToFields(state, false);
}
BENCHMARK(BM_ClickToFieldsTcp)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_ClickToFieldsSerialPty(benchmark::State& state) {
    ClickToFields(state, true);
}
BENCHMARK(BM_ClickToFieldsSerialPty)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// From closing the window to its end, with a job blocked in a connect that is
// never answered (0), a TCP write to a printer that stopped reading (1), a
// serial write held by flow control (2) or a USB write that does not complete (3).
void BM_CloseWithBlockedJob(benchmark::State& state) {
    const int how = static_cast<int>(state.range(0));
    test::TempDir usbRoot;
    test::Listener stalled(true), deaf(false);
    test::Pty line;
    test::MakeUsbTree(usbRoot.Path(), line.Path());
    test::ScopedEnv sys("PEMBERLUX_SYSFS_ROOT", (usbRoot.Path() / "sys").c_str());
    test::ScopedEnv dev("PEMBERLUX_DEV_ROOT", (usbRoot.Path() / "dev").c_str());
    static const std::vector<std::uint8_t> block(64 << 20, 0x20);
    for (auto _ : state) {
        PortSettings s = Record(how == 0 || how == 1 ? PORT_LAN : how == 2 ? PORT_COM : PORT_USB);
        s.tcpPort = how == 0 ? stalled.Port() : deaf.Port();
        s.comName = line.Path();
        s.flowControl = "Xon/Xoff";
        if (how >= 2) test::HoldOutput(line);
        auto program = std::make_unique<Program>(s);
        program->page().StartJob({}, [s](std::stop_token stop) {
            PrinterPort port(s);
            SendFrame(port, block, {stop});
        });
        QEventLoop settle;
        QTimer::singleShot(300, &settle, &QEventLoop::quit);
        settle.exec();
        if (program->page().WorkersRunning() != 1) state.SkipWithError("the job did not block");
        const auto t0 = Clock::now();
        program.reset();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - t0).count());
    }
}
BENCHMARK(BM_CloseWithBlockedJob)->DenseRange(0, 3)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
} // namespace pemberlux

int main(int argc, char** argv) {
    setenv("PEMBERLUX_BROADCAST_ADDR", "127.255.255.255", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    pemberlux::InitPlatform();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
