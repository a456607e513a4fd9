#include "core/base/ReplaceFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace pemberlux {

namespace {

int WriteAll(int fd, std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// The rename itself is made lasting by syncing the folder; a folder that
// cannot be opened or synced leaves that to the file system.
void SyncFolder(const std::filesystem::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

std::string FileWrite::Reason() const {
    return error ? std::error_code(error, std::generic_category()).message() : std::string();
}

FileWrite ReplaceFile(const std::filesystem::path& file, std::string_view content) {
    std::error_code ec;
    std::filesystem::path target = file;
    if (std::filesystem::is_symlink(file, ec)) {
        std::filesystem::path resolved = std::filesystem::weakly_canonical(file, ec);
        if (!ec) target = resolved;
    }
    mode_t mode;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        // The rename would replace a protected file where writing into it is refused.
        if ((old.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return {EACCES};
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    std::string temp = (dir / (target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return {errno};
    // mkstemp makes the file private: the old file's permissions, or the usual
    // ones (where the file system keeps permissions at all).
    ::fchmod(fd, mode);
    int error = WriteAll(fd, content);
    if (!error && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temp.c_str());
        return {error};
    }
    SyncFolder(dir);
    return {};
}

} // namespace pemberlux
