// pemberlux-cli run as a child process: its arguments, working folder and
// extra environment; its exit code, stdout and stderr.
#pragma once

#include "FileSizeLimit.h"
#include "TempDir.h"
#include "Unprivileged.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace pemberlux::test {

// The executable under test: given by the build, or next to the caller's own
// folder (build/bench/x -> build/cli/pemberlux-cli).
inline std::string CliBinary() {
#ifdef PEMBERLUX_CLI_BINARY
    return PEMBERLUX_CLI_BINARY;
#else
    std::error_code ec;
    return (std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / "cli" / "pemberlux-cli")
        .string();
#endif
}

// The executable as a user who gave up root may run it. The build folder may
// lie below a private one (a clone in a 0700 folder, a home folder), which that
// user cannot pass through: the copy lies in a folder of its own under the
// temporary folder, open to everyone, removed when the tests end. Empty, with
// `why` said, when no such copy can be made or run.
inline std::string UnprivilegedCliBinary(std::string* why = nullptr) {
    struct Copy {
        std::string folder, binary, why;
        Copy() {
            if (::geteuid() != 0) {
                binary = CliBinary();
                return;
            }
            folder = (std::filesystem::temp_directory_path() / "pemberlux-cli-XXXXXX").string();
            if (!::mkdtemp(folder.data())) {
                folder.clear();
                why = "no folder could be made in the temporary folder";
                return;
            }
            const std::string path = folder + "/pemberlux-cli";
            std::error_code ec;
            std::filesystem::copy_file(CliBinary(), path, ec);
            if (ec || ::chmod(folder.c_str(), 0755) != 0 || ::chmod(path.c_str(), 0755) != 0) {
                why = "pemberlux-cli could not be copied to " + folder;
                return;
            }
            // The temporary folder itself may be closed to that user.
            const pid_t child = ::fork();
            if (child == 0) ::_exit(DropPrivileges() && ::access(path.c_str(), X_OK) == 0 ? 0 : 1);
            int status = 0;
            if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                why = "user " + std::to_string(UNPRIVILEGED_ID) + " cannot run " + path;
                return;
            }
            binary = path;
        }
        ~Copy() {
            std::error_code ec;
            if (!folder.empty()) std::filesystem::remove_all(folder, ec);
        }
    };
    static const Copy copy;
    if (why) *why = copy.why;
    return copy.binary;
}

struct CliRun {
    int code = -1; // exit code; 128 + signal when killed; -1 when it did not end
    std::string out;
    std::string err;
};

// Where standard input and output lead: by default nothing to read, and a file
// the run's `out` is read from; a terminal (a pty's path) for tests of what
// happens there.
struct CliStreams {
    std::string in = "/dev/null";
    std::string out;               // empty: captured into CliRun::out
    std::string err;               // empty: captured into CliRun::err
    std::size_t fileSizeLimit = 0; // the size a file may grow to in the child (FileSizeLimit.h); 0: none
};

class CliProcess {
public:
    // Without XDG_CONFIG_HOME in `env`, the settings folder of the user's own
    // installation is kept out: it points into `cwd`.
    // `unprivileged`: as the user DropPrivileges() leaves (see Unprivileged.h).
    CliProcess(const std::filesystem::path& cwd, std::vector<std::string> args,
               std::map<std::string, std::string> env = {}, bool unprivileged = false, const CliStreams& streams = {})
        : out_(streams.out.empty() ? cwd / ".cli-stdout" : std::filesystem::path(streams.out)),
          err_(streams.err.empty() ? cwd / ".cli-stderr" : std::filesystem::path(streams.err)),
          capture_(streams.out.empty()), captureErr_(streams.err.empty()) {
        env.try_emplace("XDG_CONFIG_HOME", (cwd / ".config").string());
        args.insert(args.begin(), unprivileged ? UnprivilegedCliBinary() : CliBinary());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> vars;
        for (char** e = environ; *e; ++e) {
            const std::string var = *e;
            if (!env.count(var.substr(0, var.find('=')))) vars.push_back(var);
        }
        for (const auto& [name, value] : env)
            vars.push_back(name + "=" + value);
        std::vector<char*> envp;
        for (std::string& v : vars)
            envp.push_back(v.data());
        envp.push_back(nullptr);
        if (unprivileged || streams.fileSizeLimit) {
            // The files are opened and the folder entered before root is given up.
            pid_ = ::fork();
            if (pid_ == 0) {
                const int in = ::open(streams.in.c_str(), O_RDONLY);
                const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
                    ::chdir(cwd.c_str()) != 0 || (unprivileged && !DropPrivileges()) ||
                    (streams.fileSizeLimit && !LimitFileSize(streams.fileSizeLimit)))
                    ::_exit(126);
                ::execve(argv[0], argv.data(), envp.data());
                ::_exit(127);
            }
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
        posix_spawn_file_actions_addopen(&actions, 0, streams.in.c_str(), O_RDWR | O_NOCTTY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(),
                                         capture_ ? O_WRONLY | O_CREAT | O_TRUNC : O_WRONLY | O_NOCTTY, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(),
                                         captureErr_ ? O_WRONLY | O_CREAT | O_TRUNC : O_WRONLY | O_NOCTTY, 0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CliProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t Pid() const { return pid_; }
    void Signal(int signal) const {
        if (pid_ > 0) ::kill(pid_, signal);
    }
    std::string Stderr() const { return Slurp(err_); }

    // Waits for the exit (a bound against a hang, not a speed requirement).
    CliRun Wait(std::chrono::milliseconds bound = std::chrono::seconds(60)) {
        CliRun run;
        const auto until = std::chrono::steady_clock::now() + bound;
        while (pid_ > 0 && std::chrono::steady_clock::now() < until) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (capture_) run.out = Slurp(out_);
        if (captureErr_) run.err = Slurp(err_);
        return run;
    }

private:
    static std::string Slurp(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::filesystem::path out_, err_;
    bool capture_ = true;
    bool captureErr_ = true;
    pid_t pid_ = -1;
};

inline CliRun RunCli(const std::filesystem::path& cwd, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env = {}, bool unprivileged = false) {
    CliProcess process(cwd, args, env, unprivileged);
    return process.Wait();
}

} // namespace pemberlux::test
