// testPrint.qv is whatever the user put in the folder: read any file. Hexadecimal
// text is sent whole, anything else is refused with nothing kept, exactly as the
// hexadecimal reader judges the same bytes.
#include "core/base/HexText.h"
#include "core/testitems/TestCommands.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

using namespace pemberlux;

namespace {

std::filesystem::path FilePath() {
    static const std::filesystem::path path = [] {
        std::string dir = (std::filesystem::temp_directory_path() / "fuzz_test_file.XXXXXX").string();
        if (!::mkdtemp(dir.data())) std::abort();
        return std::filesystem::path(dir) / TEST_FILE_NAME;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path path = FilePath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) std::abort();
    }
    const TestFile file = ReadTestFile(path);
    Bytes expected;
    if (!ParseHexText(std::string_view(reinterpret_cast<const char*>(data), size), expected)) {
        if (file.status != TestFile::NotHex || !file.bytes.empty()) __builtin_trap();
    } else if (file.status != TestFile::Read || file.bytes != expected) {
        __builtin_trap();
    }
    return 0;
}
