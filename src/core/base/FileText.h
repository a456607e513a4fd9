// A file read whole, keeping why it could not be read: the messages name the
// system's reason ("No such file or directory", "Permission denied").
#pragma once

#include <filesystem>
#include <string>

namespace pemberlux {

struct FileText {
    std::string text;
    int error = 0; // the errno of the open or read that failed; 0 when read
};

// The whole of `path` (a folder fails with EISDIR).
FileText ReadFileText(const std::filesystem::path& path);

// The system's words for an errno ("No such file or directory").
std::string SystemReason(int error);

} // namespace pemberlux
