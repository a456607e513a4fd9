// Every blocking step of a job ends when the job is stopped (its window
// closes) or its deadline passes, whatever the device does; and one device
// serves one job at a time.
#include "PortFixtures.h"
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <thread>

namespace pemberlux::test {
namespace {

namespace fs = std::filesystem;

// A blocking step, set up so that on its own it would go on far longer than
// the test waits: the far end keeps it blocked while the scene lives.
class Scene {
public:
    virtual ~Scene() = default;
    virtual void Run(const JobLimits& job) = 0;

protected:
    static void Check(bool ok, const char* what) {
        if (!ok) throw std::runtime_error(what);
    }
    void Write(const std::string& block, const JobLimits& job) {
        port.SetData(block.data(), block.size());
        WritePort(port, job);
    }
    void Read(const JobLimits& job) {
        char buf[4000]; // a serial line alone would wait 13 s for it
        ReadPort(port, buf, sizeof buf, job);
    }

    PrinterPort port;
};

// Holds what a socket will take from a writer that nobody reads, many times over.
const std::string& BlockNobodyReads() {
    static const std::string block = [] {
        std::size_t most = 4 << 20;
        std::ifstream("/proc/sys/net/ipv4/tcp_wmem") >> most >> most >> most;
        return std::string(4 * most + (1 << 20), 'w');
    }();
    return block;
}

struct SerialRead : Scene {
    Pty pty;
    SerialRead() {
        UseSerial(port, pty.Path());
        OpenPort(port, {});
    }
    void Run(const JobLimits& job) override { Read(job); }
};

struct SerialWriteHeldByXoff : Scene {
    Pty pty;
    SerialWriteHeldByXoff() {
        UseSerial(port, pty.Path());
        port.settings.flowControl = "Xon/Xoff";
        OpenPort(port, {});
        Check(pty.SendXoff(), "XOFF");
    }
    void Run(const JobLimits& job) override { Write(std::string(100, 'x'), job); }
};

struct ParallelRead : Scene {
    Pty pty;
    ParallelRead() {
        port.kind = PORT_LPT;
        port.lptName = pty.Path();
        OpenPort(port, {});
    }
    void Run(const JobLimits& job) override { Read(job); }
};

struct ConnectNeverAccepted : Scene {
    SilentListener listener;
    ConnectNeverAccepted() {
        Check(listener.Full(), "listener queue");
        UseNetwork(port, listener.Port());
    }
    void Run(const JobLimits& job) override { OpenPort(port, job); }
};

struct NetWriteNobodyReads : Scene {
    SocketPrinter printer{4096};
    NetWriteNobodyReads() {
        UseNetwork(port, printer.Port());
        OpenPort(port, {});
        Check(printer.Accept(), "accept");
    }
    void Run(const JobLimits& job) override { Write(BlockNobodyReads(), job); }
};

struct NetRead : Scene {
    SocketPrinter printer;
    NetRead() {
        UseNetwork(port, printer.Port());
        OpenPort(port, {});
        Check(printer.Accept(), "accept");
    }
    void Run(const JobLimits& job) override { Read(job); }
};

// A USB printer that answers nothing and takes no transfer.
struct UsbScene : Scene {
    TempDir dir;
    sim::SimPrinter printer;
    sim::FakeUsbTree tree{dir.Path()};
    ScopedEnv sysfs{"PEMBERLUX_SYSFS_ROOT", tree.SysfsRoot().c_str()};
    ScopedEnv dev{"PEMBERLUX_DEV_ROOT", tree.DevRoot().c_str()};
    UsbScene() {
        tree.AddPrinter(printer, "3a7e", "5e10");
        port.kind = PORT_USB;
    }
};

struct UsbWriteNeverCompletes : UsbScene {
    TransferNode node{tree.DevRoot() / "usb/lp0"};
    UsbWriteNeverCompletes() { OpenPort(port, {}); }
    void Run(const JobLimits& job) override { Write("u", job); }
};

struct UsbRead : UsbScene {
    UsbRead() { OpenPort(port, {}); }
    void Run(const JobLimits& job) override { Read(job); }
};

// Another job of the process holds the line; this one reaches it by another name.
struct SerialOpenWhileHeld : Scene {
    Pty pty;
    TempDir dir;
    PrinterPort holder;
    SerialOpenWhileHeld() {
        UseSerial(holder, pty.Path());
        OpenPort(holder, {});
        fs::create_symlink(pty.Path(), dir / "printer");
        UseSerial(port, (dir / "printer").string());
    }
    void Run(const JobLimits& job) override { OpenPort(port, job); }
};

struct NetOpenWhileHeld : Scene {
    SocketPrinter printer;
    PrinterPort holder;
    NetOpenWhileHeld() {
        UseNetwork(holder, printer.Port());
        OpenPort(holder, {});
        UseNetwork(port, printer.Port());
    }
    void Run(const JobLimits& job) override { OpenPort(port, job); }
};

struct StepCase {
    const char* name;
    PortErrorCode code;
    std::function<std::unique_ptr<Scene>()> make;
};

template <class S> StepCase Step(const char* name, PortErrorCode code) {
    return {name, code, [] { return std::make_unique<S>(); }};
}

const StepCase steps[] = {
    Step<SerialRead>("SerialRead", PortErrorCode::Read),
    Step<SerialWriteHeldByXoff>("SerialWriteHeldByXoff", PortErrorCode::Write),
    Step<ParallelRead>("ParallelRead", PortErrorCode::Read),
    Step<ConnectNeverAccepted>("ConnectNeverAccepted", PortErrorCode::Open),
    Step<NetWriteNobodyReads>("NetWriteNobodyReads", PortErrorCode::Write),
    Step<NetRead>("NetRead", PortErrorCode::Read),
    Step<UsbWriteNeverCompletes>("UsbWriteNeverCompletes", PortErrorCode::Write),
    Step<UsbRead>("UsbRead", PortErrorCode::Read),
    Step<SerialOpenWhileHeld>("SerialOpenWhileHeld", PortErrorCode::Busy),
    Step<NetOpenWhileHeld>("NetOpenWhileHeld", PortErrorCode::Open),
};

enum class End { Stop, Deadline };

void PrintTo(const StepCase& step, std::ostream* os) {
    *os << step.name;
}
void PrintTo(End end, std::ostream* os) {
    *os << (end == End::Stop ? "stopped" : "deadline");
}

class BlockedStepTest : public ::testing::TestWithParam<std::tuple<StepCase, End>> {};

// The step runs on a worker as a job does; 200 ms in, the test stops the job,
// or the job's deadline passes. The step ends with a PortError that says which.
TEST_P(BlockedStepTest, EndsWithTheJob) {
    const auto& [step, end] = GetParam();
    std::unique_ptr<Scene> scene = step.make();
    constexpr auto blocked = 200ms;
    std::stop_source stop;
    Stopwatch watch;
    // With a stop, the far deadline only keeps a stop that goes unnoticed from
    // hanging the test: the step then ends as Expired and the test fails.
    const JobLimits job{stop.get_token(), JobClock::now() + (end == End::Stop ? 15s : blocked)};
    // The error comes back as a value: an exception carried between threads
    // is counted inside the uninstrumented runtime, which the race checker misreads.
    std::promise<std::optional<PortError>> result;
    std::future<std::optional<PortError>> done = result.get_future();
    std::jthread worker([&] { result.set_value(Thrown([&] { scene->Run(job); })); });
    if (end == End::Stop) {
        ASSERT_EQ(done.wait_for(blocked), std::future_status::timeout) << "the step did not block";
        stop.request_stop();
    }
    ASSERT_EQ(done.wait_for(60s), std::future_status::ready);
    EXPECT_GE(watch.Ms(), 200);
    const std::optional<PortError> e = done.get();
    ASSERT_TRUE(e) << "the step returned";
    EXPECT_EQ(e->code, step.code);
    EXPECT_EQ(e->cause, end == End::Stop ? PortError::Stopped : PortError::Expired);
}

INSTANTIATE_TEST_SUITE_P(Steps, BlockedStepTest,
                         ::testing::Combine(::testing::ValuesIn(steps), ::testing::Values(End::Stop, End::Deadline)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == End::Stop ? "_Stop" : "_Deadline");
                         });

// A second job for a device that the first still holds waits until the first
// has closed it, also when it names the device by a link to it; the printer
// gets each frame whole and in order.
TEST(OneExchangePerDeviceTest, SecondJobWaitsForTheFirst) {
    Pty pty;
    TempDir dir;
    fs::create_symlink(pty.Path(), dir / "printer");
    PrinterPort first, second;
    UseSerial(first, pty.Path());
    UseSerial(second, (dir / "printer").string());
    ASSERT_TRUE(OpenPort(first, {}));

    std::atomic<bool> firstClosing{false};
    bool openedAfterFirst = false;
    std::optional<PortError> secondError;
    std::jthread secondJob([&] {
        secondError = Thrown([&] {
            OpenPort(second, Deadline(30s));
            openedAfterFirst = firstClosing;
            second.SetData("BBBB", 4);
            WritePort(second, {});
            ClosePort(second);
        });
    });
    // The first frame goes out in two parts while the second job waits.
    first.SetData("AAAA", 4);
    WritePort(first, {});
    std::this_thread::sleep_for(300ms);
    first.SetData("aaaa", 4);
    WritePort(first, {});
    firstClosing = true;
    ClosePort(first);
    secondJob.join();

    EXPECT_FALSE(secondError) << secondError->what();
    EXPECT_TRUE(openedAfterFirst);
    EXPECT_EQ(pty.Receive(12, 5000ms), "AAAAaaaaBBBB");
}

} // namespace
} // namespace pemberlux::test
