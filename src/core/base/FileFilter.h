// File-dialog filters are kept in the string table as "Name|patterns|...||"
// (patterns separated by ';'). This turns one into its entries.
#pragma once

#include <string>
#include <vector>

namespace pemberlux {

struct FileFilterEntry {
    std::string name;                  // "Data File(*.hex;*.txt)"
    std::vector<std::string> patterns; // "*.hex", "*.txt"
};

std::vector<FileFilterEntry> ParseFileFilter(const std::string& filter);

// True when `fileName` matches one of the patterns ("*.*" and "*" match all;
// otherwise "*.ext" with the extension compared exactly).
bool MatchesFileFilter(const FileFilterEntry& entry, const std::string& fileName);

} // namespace pemberlux
