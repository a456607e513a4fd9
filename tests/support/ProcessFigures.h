// This process's open descriptors and resident memory, read from /proc: what a
// test compares before and after work to find a leak.
#pragma once

#include <dirent.h>

#include <cstddef>
#include <fstream>
#include <string>

namespace pemberlux::test {

// Entries of a /proc folder of this process (threads: task, descriptors: fd).
inline std::size_t ProcEntries(const char* folder) {
    std::size_t n = 0;
    if (DIR* d = ::opendir(folder)) {
        while (const dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') ++n;
        ::closedir(d);
    }
    return n;
}

// Without the descriptor that reads the folder.
inline std::size_t OpenDescriptors() {
    return ProcEntries("/proc/self/fd") - 1;
}

// Resident memory in KiB; -1 when unknown.
inline long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

} // namespace pemberlux::test
