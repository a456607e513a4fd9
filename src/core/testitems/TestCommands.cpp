#include "core/testitems/TestCommands.h"

#include "core/base/FileText.h"
#include "core/base/HexText.h"

#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>

namespace pemberlux {

namespace {

constexpr std::uint8_t LF = 0x0A;

// Bytes and texts in order, each text as its ASCII bytes.
struct Part {
    Part(std::initializer_list<std::uint8_t> b) : bytes(b) {}
    Part(const char* text) : bytes(text, text + std::char_traits<char>::length(text)) {}
    Bytes bytes;
};

Bytes Join(std::initializer_list<Part> parts) {
    Bytes out;
    for (const Part& p : parts)
        out.insert(out.end(), p.bytes.begin(), p.bytes.end());
    return out;
}

struct Run {
    std::uint8_t first, last, step;
};
struct Area {
    Run lead;
    std::vector<Run> trails;
};

const Area AREAS[CHINESE_AREAS] = {
    {{0xA1, 0xA9, 1}, {{0xA1, 0xFD, 2}}},
    {{0xB0, 0xF4, 4}, {{0xA1, 0xFD, 2}}},
    {{0x81, 0x9D, 4}, {{0x40, 0x7C, 2}, {0x80, 0xFC, 2}}},
    {{0xAA, 0xFB, 3}, {{0x40, 0x7C, 4}, {0x80, 0x90, 4}}},
    {{0xAA, 0xAB, 1}, {{0x40, 0x7D, 1}, {0x80, 0x93, 1}}},
};

} // namespace

Bytes TestCommandBytes(TestCommand command) {
    switch (command) {
    case TestCommand::BlackMarkEnable:
        return Join({{0x1C, 0xAA, 0x11, 0x01}, "  BM enable", {LF}});
    case TestCommand::BlackMarkDisable:
        return Join({{0x1C, 0xAA, 0x11, 0x00}, "  BM disable", {LF}});
    case TestCommand::CutEnable:
        return Join({{0x1B, 0x40}, " Cut Enable", {LF}, {0x1C, 0xAA, 0x23, 0x01}});
    case TestCommand::CutDisable:
        return Join({{0x1B, 0x40}, " Cut Disable", {LF}, {0x1C, 0xAA, 0x23, 0x00}});
    case TestCommand::FullCut:
        return Join({{0x1B, 0x40}, " Full Cut test", {LF}, {0x1B, 0x4A, 0xB0}, {0x1B, 0x69}});
    case TestCommand::PartialCut:
        return Join({{0x1B, 0x40}, " Partial Cut test", {LF}, {0x1B, 0x4A, 0xB0}, {0x1B, 0x6D}});
    case TestCommand::Drawer1:
        return Join({{0x1B, 0x40}, " Drawer test", {LF}, {0x1B, 0x4A, 0x20}, {0x1B, 0x70, 0x00, 0x33, 0x00}, {0x00}});
    case TestCommand::Drawer2:
        return Join({{0x1B, 0x40}, " Drawer test", {LF}, {0x1B, 0x4A, 0x20}, {0x1B, 0x70, 0x01, 0x33, 0x00}, {0x00}});
    case TestCommand::Carriage:
        return {0x1C, 0xAA, 0x16, 0x04};
    case TestCommand::Feed:
        return {0x1C, 0xAA, 0x17, 0x02, 0x55};
    case TestCommand::HeadPin:
        return {0x1C, 0xAA, 0x17, 0x01, 0x00};
    }
    return {};
}

Bytes BlackMarkTestBytes(bool cutAfterPrint) {
    Bytes out = Join({{0x1B, 0x40}, {0x1D, 0x0C}, " BM test", {0x1B, 0x4A, 0xFF}, {0x1B, 0x4A, 0xFF}});
    if (cutAfterPrint) {
        const Bytes cut = Join({{0x1B, 0x40, 0x1D, 0x0C}, {0x1D, 0x56, 0x42, 0x01}});
        out.insert(out.end(), cut.begin(), cut.end());
    }
    return out;
}

Bytes BaudRateBytes(int index) {
    const auto n = static_cast<std::uint8_t>(index);
    Bytes out = Join({"set successful", {LF}, {0x1C, 0xAA, 0x22, n}, {0x00}});
    // The printers take the lowest rate with one more zero byte.
    if (index == 0) out.push_back(0x00);
    return out;
}

Bytes ChineseTestBytes(int area, const FontStyle& style) {
    std::uint8_t n = 0;
    if (style.doubleWidth) n |= 0x04;
    if (style.doubleHeight) n |= 0x08;
    if (style.underline) n |= 0x80;
    Bytes out = {0x1C, 0x21, n};
    if (area >= 0 && area < CHINESE_AREAS) {
        const Area& a = AREAS[area];
        for (unsigned lead = a.lead.first; lead <= a.lead.last; lead += a.lead.step) {
            for (const Run& trail : a.trails) {
                for (unsigned t = trail.first; t <= trail.last; t += trail.step) {
                    out.push_back(static_cast<std::uint8_t>(lead));
                    out.push_back(static_cast<std::uint8_t>(t));
                }
            }
        }
    }
    out.push_back(LF);
    return out;
}

Bytes AsciiTestBytes(AsciiText text, bool fontA, const FontStyle& style) {
    std::uint8_t n = 0;
    if (style.doubleWidth) n |= 0x20;
    if (style.doubleHeight) n |= 0x10;
    if (style.underline) n |= 0x80;
    if (fontA) n |= 0x01;
    Bytes out = {0x1C, 0x2E, 0x1B, 0x21, n};
    switch (text) {
    case AsciiText::Alphabet:
        for (char c = 'A'; c <= 'Z'; ++c)
            out.push_back(static_cast<std::uint8_t>(c));
        break;
    case AsciiText::LetterH:
        out.insert(out.end(), 50, 'H');
        break;
    case AsciiText::LetterI:
        out.insert(out.end(), 50, 'I');
        break;
    case AsciiText::None:
        break;
    }
    out.insert(out.end(), {0x1B, 0x21, 0x00, LF});
    return out;
}

Bytes BlackBarBytes() {
    Bytes out;
    for (int row = 0; row < 5; ++row) {
        out.insert(out.end(), {0x1B, 0x2A, 0x00, 0xD2, 0x00});
        out.insert(out.end(), 210, 0xFF);
        out.insert(out.end(), {0x0D, 0x1B, 0x4A, 0x10});
    }
    return out;
}

TestFile ReadTestFile(const std::filesystem::path& path) {
    TestFile file;
    const FileText read = ReadFileText(path);
    if (read.error) {
        file.status = TestFile::Missing;
        file.error = read.error;
        return file;
    }
    if (!ParseHexText(std::string_view(read.text), file.bytes)) {
        file.status = TestFile::NotHex;
        file.bytes.clear();
    }
    return file;
}

} // namespace pemberlux
