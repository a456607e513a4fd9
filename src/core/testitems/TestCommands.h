// The bytes of the receipt printers' test items: character print tests,
// black mark, cutter, drawer and baud-rate commands (ESC/POS-style sequences
// and the private family that starts with 1C AA), a black bar, and the test
// data file "testPrint.qv".
#pragma once

#include "core/base/Bytes.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace pemberlux {

// The fixed commands, by the button that sends them.
enum class TestCommand {
    BlackMarkEnable,  // 1C AA 11 01, "  BM enable", LF
    BlackMarkDisable, // 1C AA 11 00, "  BM disable", LF
    CutEnable,        // 1B 40, " Cut Enable", LF, 1C AA 23 01
    CutDisable,       // 1B 40, " Cut Disable", LF, 1C AA 23 00
    FullCut,          // 1B 40, " Full Cut test", LF, 1B 4A B0, 1B 69
    PartialCut,       // 1B 40, " Partial Cut test", LF, 1B 4A B0, 1B 6D
    Drawer1,          // 1B 40, " Drawer test", LF, 1B 4A 20, 1B 70 00 33 00, 00
    Drawer2,          // the same for pin 01
    Carriage,         // 1C AA 16 04
    Feed,             // 1C AA 17 02 55
    HeadPin,          // 1C AA 17 01 00
};
Bytes TestCommandBytes(TestCommand command);

// 1B 40, 1D 0C, " BM test", 1B 4A FF, 1B 4A FF; with a cut after it
// 1B 40 1D 0C 1D 56 42 01 too.
Bytes BlackMarkTestBytes(bool cutAfterPrint);

// "set successful", LF, 1C AA 22 n, 00 for baud-rate list index n (0 = 1200 …
// 5 = 38400); index 0 carries one 00 more.
Bytes BaudRateBytes(int index);

// Font style of the character tests.
struct FontStyle {
    bool doubleWidth = false;
    bool doubleHeight = false;
    bool underline = false;
};

// 1C 21 n, every character of GBK area `area` (0-4; -1 none), LF.
Bytes ChineseTestBytes(int area, const FontStyle& style);
constexpr int CHINESE_AREAS = 5;

enum class AsciiText { None, Alphabet, LetterH, LetterI };
// 1C 2E, 1B 21 n, the text (A to Z, or 50 × H or I), 1B 21 00, LF.
Bytes AsciiTestBytes(AsciiText text, bool fontA, const FontStyle& style);
// How often the ASCII test prints, the first time this long after the click.
constexpr int ASCII_TEST_INTERVAL_MS = 600;

// Five rows of 210 columns of black: 1B 2A 00 D2 00, 210 × FF, 0D, 1B 4A 10.
Bytes BlackBarBytes();

// The test data file, hexadecimal text in the working folder.
constexpr const char* TEST_FILE_NAME = "testPrint.qv";
struct TestFile {
    enum Status { Read, Missing, NotHex };
    Status status = Read;
    Bytes bytes;   // decoded, all of them
    int error = 0; // Missing: the errno of the failed read
};
TestFile ReadTestFile(const std::filesystem::path& path);

} // namespace pemberlux
