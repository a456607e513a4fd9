#include "core/base/FileFilter.h"

namespace pemberlux {

namespace {

std::vector<std::string> Split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (true) {
        std::string::size_type end = text.find(sep, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return parts;
}

} // namespace

std::vector<FileFilterEntry> ParseFileFilter(const std::string& filter) {
    std::vector<FileFilterEntry> entries;
    std::vector<std::string> parts = Split(filter, '|');
    // Name and patterns alternate; the list ends at the first empty name.
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) break;
        FileFilterEntry entry{parts[i], {}};
        for (const std::string& p : Split(parts[i + 1], ';')) {
            if (!p.empty()) entry.patterns.push_back(p);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool MatchesFileFilter(const FileFilterEntry& entry, const std::string& fileName) {
    for (const std::string& p : entry.patterns) {
        if (p == "*" || p == "*.*") return true;
        if (p.size() > 1 && p[0] == '*') {
            const std::string tail = p.substr(1);
            if (fileName.size() >= tail.size() &&
                fileName.compare(fileName.size() - tail.size(), tail.size(), tail) == 0)
                return true;
        } else if (p == fileName) {
            return true;
        }
    }
    return false;
}

} // namespace pemberlux
