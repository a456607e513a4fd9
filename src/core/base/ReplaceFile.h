// How every file the program writes is written (the settings file, profiles,
// reports): never in place, so a full disk, a crash or a refusal half-way
// leaves the old file as it was and never an empty or cut one.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace pemberlux {

// The outcome of ReplaceFile: the errno of the step that failed, 0 when the
// file was written.
struct FileWrite {
    int error = 0;
    explicit operator bool() const { return error == 0; }
    // The system's reason ("File too large"); "" when the file was written.
    std::string Reason() const;
};

// Replaces `file` with `content`: a temporary file in the same folder is
// written, flushed to the disk and renamed over the old one. On failure the
// old file is as it was and the temporary file is gone. A link is written
// through (the file it points at is replaced); a write-protected file is left
// alone (EACCES), as writing into it would be refused; the file keeps its
// permissions, and a new one gets the usual ones (0666 less the umask). A
// target that is not a regular file (a pipe, a terminal, /dev/stdout) is
// written into as it stands: there is nothing to replace.
FileWrite ReplaceFile(const std::filesystem::path& file, std::string_view content);

} // namespace pemberlux
