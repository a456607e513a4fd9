// A shell command run to its end, for the raw transfers the benchmarks compare with.
#pragma once

#include <spawn.h>
#include <sys/wait.h>

#include <string>

extern char** environ;

namespace pemberlux::bench {

// `command` under bash; its exit status, -1 when it could not run.
inline int RunShell(const std::string& command) {
    std::string c = command;
    char bash[] = "bash";
    char dashC[] = "-c";
    char* argv[] = {bash, dashC, c.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, "bash", nullptr, nullptr, argv, environ) != 0 || pid <= 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace pemberlux::bench
