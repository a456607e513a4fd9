// Start-up of the program against the least a Qt Widgets program does to show a
// dialog (startup/MinimalDialog.cpp), both built in this tree: the time from
// starting the process to its first painted window, and the process's peak
// resident memory. Each is the median of RUNS starts (default 15, BENCH_RUNS),
// the two programs started in turn, in English and in Chinese (the minimal
// dialog showing a text of that language). Runs on the platform of
// QT_QPA_PLATFORM (offscreen when unset and there is no display).
#include "TempDir.h"
#include "core/base/SettingsFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using pemberlux::test::TempDir;

constexpr int PROBE_FD = 3;

struct Start {
    double ms;
    double rssMiB;
};

long long NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Starts `exe` in `cwd` and waits for its first paint and its end.
std::optional<Start> RunOnce(const std::string& exe, const std::vector<std::string>& args,
                             const std::filesystem::path& cwd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "PEMBERLUX_FIRST_PAINT_FD=", 25) != 0) env.emplace_back(*e);
    }
    env.push_back("PEMBERLUX_FIRST_PAINT_FD=" + std::to_string(PROBE_FD));
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) env.emplace_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStore{exe};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], PROBE_FD);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    pid_t pid = 0;
    const long long started = NowNs();
    const int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        std::fprintf(stderr, "bench_ui_startup: can't start %s: %s\n", exe.c_str(), std::strerror(rc));
        return std::nullopt;
    }
    std::string line;
    char buffer[64];
    ssize_t n = 0;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) line.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    if (line.empty()) {
        std::fprintf(stderr, "bench_ui_startup: %s ended without painting a window\n", exe.c_str());
        return std::nullopt;
    }
    const long long painted = std::atoll(line.c_str());
    return Start{static_cast<double>(painted - started) / 1e6, static_cast<double>(usage.ru_maxrss) / 1024.0};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Summary {
    double ms;
    double rssMiB;
};

} // namespace

int main() {
    const int runs = std::max(1, std::getenv("BENCH_RUNS") ? std::atoi(std::getenv("BENCH_RUNS")) : 15);
    std::printf("Start-up, median of %d starts each: time to the first painted window, peak resident memory\n", runs);
    std::printf("%-28s %12s %12s\n", "", "first paint", "peak RSS");
    bool failed = false;
    for (const char* language : {"English", "Chinese"}) {
        TempDir work;
        pemberlux::PortSettings settings;
        settings.modelName = std::string(language) == "Chinese" ? "Label Printer(200DPI)" : "LB-610";
        settings.portKind = pemberlux::PORT_USB;
        settings.comName = "COM1";
        settings.baudRate = "9600";
        settings.parity = "None";
        settings.dataBits = "8";
        settings.stopBits = "1";
        settings.flowControl = "DTR";
        settings.lptName = "LPT1";
        settings.language = language;
        settings.ipAddress = "169.254.1.10";
        settings.tcpPort = 9100;
        work.Write(pemberlux::SETTINGS_FILE_NAME, pemberlux::FormatSettings(settings));
        const std::string text = std::string(language) == "Chinese" ? "端口及打印机选择" : "Choose Interface";

        std::vector<double> times[2], memory[2];
        const std::string programs[2] = {MINIMAL_DIALOG, PROBED_PROGRAM};
        const std::vector<std::string> args[2] = {{text}, {}};
        // One start each first, so both find the fonts and libraries in the page cache.
        for (int i = -1; i < runs; ++i) {
            for (int p = 0; p < 2; ++p) {
                const auto start = RunOnce(programs[p], args[p], work.Path());
                if (!start) {
                    failed = true;
                    continue;
                }
                if (i < 0) continue;
                times[p].push_back(start->ms);
                memory[p].push_back(start->rssMiB);
            }
        }
        if (times[0].empty() || times[1].empty()) continue;
        const Summary minimal{Median(times[0]), Median(memory[0])};
        const Summary program{Median(times[1]), Median(memory[1])};
        std::printf("%-28s %9.1f ms %8.1f MiB\n", (std::string("minimal dialog, ") + language).c_str(), minimal.ms,
                    minimal.rssMiB);
        std::printf("%-28s %9.1f ms %8.1f MiB\n", (std::string("pemberlux, ") + language).c_str(), program.ms,
                    program.rssMiB);
        std::printf("%-28s %10.2fx %11.2fx   (targets 1.50x, 1.30x)\n", "  ratio", program.ms / minimal.ms,
                    program.rssMiB / minimal.rssMiB);
    }
    return failed ? 1 : 0;
}
