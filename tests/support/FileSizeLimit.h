// A file-size limit makes a write fail half-way, as a full disk would: the
// write returns EFBIG instead of the process getting SIGXFSZ.
#pragma once

#include <signal.h>
#include <sys/resource.h>

#include <cstddef>

namespace pemberlux::test {

// For a child about to exec: the limit and the ignored signal stay with it.
inline bool LimitFileSize(std::size_t bytes) {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
    limit.rlim_cur = bytes;
    return ::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

// The same for this process while it lives; what was there before comes back.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(std::size_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        handler_ = ::signal(SIGXFSZ, SIG_IGN);
        ok_ = LimitFileSize(bytes);
    }
    ~ScopedFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, handler_);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;
    bool Ok() const { return ok_; }

private:
    struct rlimit saved_ {};
    sighandler_t handler_ = SIG_DFL;
    bool ok_ = false;
};

} // namespace pemberlux::test
