#include "core/port/SettingSchema.h"

namespace pemberlux {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameWithoutCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

} // namespace

int WordIndex(const SettingEntry& entry, std::string_view word) {
    for (std::size_t i = 0; i < entry.words.size(); ++i)
        if (SameWithoutCase(entry.words[i], word)) return static_cast<int>(i);
    return -1;
}

} // namespace pemberlux
