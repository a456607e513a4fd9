// A file read whole, keeping why it could not be read: the messages name the
// system's reason ("No such file or directory", "Permission denied").
#pragma once

#include "core/base/Bytes.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

namespace pemberlux {

struct FileText {
    std::string text;
    int error = 0; // the errno of the open or read that failed; 0 when read
};

// The whole of `path` (a folder fails with EISDIR).
FileText ReadFileText(const std::filesystem::path& path);

// How a read of a whole file ended; `out` is left empty unless it was read.
struct WholeFile {
    int error = 0;         // the errno of the open or read that failed
    bool tooLarge = false; // more than the limit, or more than memory holds
};
// Reads `path` whole into `out`. A folder fails with EISDIR. A file of more
// than `limit` bytes is refused, a regular one before anything is read; any
// other (a pipe) is read to its end.
WholeFile ReadWholeFile(const std::filesystem::path& path, std::string& out,
                        std::uint64_t limit = std::numeric_limits<std::uint64_t>::max());
WholeFile ReadWholeFile(const std::filesystem::path& path, Bytes& out,
                        std::uint64_t limit = std::numeric_limits<std::uint64_t>::max());

// The system's words for an errno ("No such file or directory").
std::string SystemReason(int error);

} // namespace pemberlux
