// Device access as a user who may not open the device: a node the test makes
// unreadable for that user, and a way to run code as that user.
#pragma once

#include <grp.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace pemberlux::test {

// The user a root test drops to; others run as themselves.
constexpr uid_t UNPRIVILEGED_ID = 65534;

// Takes `path` away from the user DropPrivileges() leaves, and from root under
// FilePermissionsKept: as root the node goes to the user daemon (1) and the
// group dialout (20) with mode 0660, like a serial line on Debian; otherwise
// its mode becomes 0000. False when that could not be done.
inline bool DenyAccess(const std::string& path) {
    if (::geteuid() == 0) return ::chown(path.c_str(), 1, 20) == 0 && ::chmod(path.c_str(), 0660) == 0;
    return ::chmod(path.c_str(), 0) == 0;
}

// While it lives, root's calling thread, and every thread it starts meanwhile,
// keeps to file permissions like any user (without CAP_DAC_OVERRIDE and
// CAP_DAC_READ_SEARCH in its effective set): a window test in its own process
// meets a real "permission denied". A no-op for other users.
class FilePermissionsKept {
public:
    FilePermissionsKept() {
        if (::geteuid() != 0 || ::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        active_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~FilePermissionsKept() {
        if (active_) ::syscall(SYS_capset, &header_, saved_);
    }
    FilePermissionsKept(const FilePermissionsKept&) = delete;
    FilePermissionsKept& operator=(const FilePermissionsKept&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

// In a child process: gives up root (no supplementary groups) for good; a no-op
// for other users. False when it failed.
inline bool DropPrivileges() {
    if (::geteuid() != 0) return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(UNPRIVILEGED_ID) == 0 && ::setuid(UNPRIVILEGED_ID) == 0;
}

// The name of the group that owns `path` ("" when unknown).
inline std::string OwningGroup(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    const struct group* g = ::getgrgid(st.st_gid);
    return g ? g->gr_name : std::to_string(st.st_gid);
}

} // namespace pemberlux::test
