#include "core/base/ReplaceFile.h"

#include "core/base/FileText.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
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

// Writes into a target that is no regular file (a pipe, a device) where it is.
int WriteInPlace(const std::filesystem::path& file, std::string_view content) {
    int fd;
    do {
        fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno;
    int error = WriteAll(fd, content);
    if (::close(fd) != 0 && !error) error = errno;
    return error;
}

// Creates a new file beside `target` under a name of its own, with 0666 less
// the umask as a plain create gives it; the path in `temp`.
int CreateTemporary(const std::filesystem::path& target, std::string& temp) {
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = target.string() + ".";
        for (int i = 0; i < 6; ++i)
            name += letters[pick(random)];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) temp = std::move(name);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
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
    return error ? SystemReason(error) : std::string();
}

FileWrite ReplaceFile(const std::filesystem::path& file, std::string_view content) {
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        return {WriteInPlace(file, content)};
    std::error_code ec;
    std::filesystem::path target = file;
    if (std::filesystem::is_symlink(file, ec)) {
        std::filesystem::path resolved = std::filesystem::weakly_canonical(file, ec);
        if (!ec) target = resolved;
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    // The rename would replace a protected file where writing into it is refused.
    if (exists && ((old.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) return {EACCES};
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    std::string temp;
    const int fd = CreateTemporary(target, temp);
    if (fd < 0) return {errno};
    // The old file's permissions (where the file system keeps permissions at all).
    if (exists) ::fchmod(fd, old.st_mode & 07777);
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
