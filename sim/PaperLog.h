// What a simulated printer "prints": the bytes it receives, decoded the way the
// Tavrel receipt printers take them (ESC/POS-style commands, the private
// 1C AA family, GBK characters while Chinese mode is on) and the label
// printers' framed commands, as readable lines for the demo and the tests:
//
//   text "  BM enable"
//   FS AA 11 1: black mark on
//   ESC J 176: feed 176 dots
//   ESC i: full cut
//
// A text line is everything printable up to LF (or CR, or a command that
// feeds or cuts: those print the line first); a command line is its mnemonic
// with its parameters in decimal, then what it does. Commands split
// over several reads are decoded once whole. Its own decoder, written from the
// command description; it shares nothing with the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace pemberlux::sim {

class PaperLog {
public:
    PaperLog();
    ~PaperLog();
    PaperLog(const PaperLog&) = delete;
    PaperLog& operator=(const PaperLog&) = delete;

    // The newest lines kept (the counts cover everything).
    static constexpr std::size_t kKeptLines = 1000;
    // A text line is cut into lines of at most this many characters.
    static constexpr std::size_t kLineWidth = 120;

    // Decodes `size` more bytes; returns the lines they completed.
    std::vector<std::string> Feed(const std::uint8_t* data, std::size_t size);

    // The newest kKeptLines lines, oldest first.
    std::vector<std::string> Lines() const { return {lines_.begin(), lines_.end()}; }
    // How often each command was seen, by what it does ("full cut": 2); "text
    // line" counts the text lines.
    const std::map<std::string, std::size_t>& Counts() const { return counts_; }
    // The text of a line not ended yet.
    std::string OpenLine() const { return text_; }
    void Clear();

private:
    // Decodes one command or character at the start of the `have` bytes at `p`; the bytes it
    // took, or 0 when more must arrive first.
    std::size_t Step(std::vector<std::string>& out, const std::uint8_t* p, std::size_t have);
    // A GBK character in UTF-8; empty when GBK has none there.
    std::string FromGbk(std::uint8_t lead, std::uint8_t trail);
    void Emit(std::vector<std::string>& out, const std::string& line);
    void Command(std::vector<std::string>& out, const std::string& mnemonic, const std::string& meaning,
                 bool printsLine = false);
    void EndText(std::vector<std::string>& out, bool always);
    void AddText(std::vector<std::string>& out, const std::string& utf8);

    std::vector<std::uint8_t> pending_;
    std::string text_;
    std::size_t textWidth_ = 0;
    bool chinese_ = true; // the printers start in Chinese mode
    std::deque<std::string> lines_;
    std::map<std::string, std::size_t> counts_;
    void* gbk_ = nullptr; // the converter, opened on first use
};

} // namespace pemberlux::sim
