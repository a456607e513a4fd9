#include "core/base/FileText.h"

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace pemberlux {

FileText ReadFileText(const std::filesystem::path& path) {
    FileText file;
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        file.error = errno;
        return file;
    }
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            file.error = errno;
            file.text.clear();
            break;
        }
        if (n == 0) break;
        file.text.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return file;
}

std::string SystemReason(int error) {
    return std::error_code(error, std::generic_category()).message();
}

} // namespace pemberlux
