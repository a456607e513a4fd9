// The word a mistyped one most likely meant, for "did you mean ...?" in the
// messages about unknown commands, options and setting keys.
#pragma once

#include <string>
#include <vector>

namespace pemberlux {

// The only candidate `word` begins (two letters at least), else the nearest
// one within a third of its length in edits (a swap of neighbours counting as
// one); empty when none is near.
std::string NearestWord(const std::string& word, const std::vector<std::string>& candidates);

} // namespace pemberlux
