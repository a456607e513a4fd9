#include "core/base/FileText.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace pemberlux {

namespace {

template <class Buffer> WholeFile ReadWhole(const std::filesystem::path& path, Buffer& out, std::uint64_t limit) {
    out.clear();
    WholeFile result;
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        result.error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        return result;
    }
    // A regular file is read at its size; anything else (a pipe) to its end.
    const bool regular = S_ISREG(st.st_mode);
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (regular && size > limit) {
        result.tooLarge = true;
        return result;
    }
    try {
        if (regular) out.reserve(static_cast<std::size_t>(size));
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                result.error = errno;
                out.clear();
                return result;
            }
            if (n == 0) break;
            if (out.size() + static_cast<std::size_t>(n) > limit) {
                result.tooLarge = true;
                out.clear();
                return result;
            }
            out.insert(out.end(), chunk, chunk + n);
        }
    } catch (const std::bad_alloc&) {
        result.tooLarge = true;
    } catch (const std::length_error&) {
        result.tooLarge = true;
    }
    if (result.tooLarge) Buffer().swap(out);
    return result;
}

} // namespace

FileText ReadFileText(const std::filesystem::path& path) {
    FileText file;
    const WholeFile read = ReadWholeFile(path, file.text);
    file.error = read.tooLarge ? ENOMEM : read.error;
    return file;
}

WholeFile ReadWholeFile(const std::filesystem::path& path, std::string& out, std::uint64_t limit) {
    return ReadWhole(path, out, limit);
}

WholeFile ReadWholeFile(const std::filesystem::path& path, Bytes& out, std::uint64_t limit) {
    return ReadWhole(path, out, limit);
}

std::string SystemReason(int error) {
    return std::error_code(error, std::generic_category()).message();
}

} // namespace pemberlux
