#include "PaperLog.h"

#include <iconv.h>

#include <algorithm>
#include <cstdio>

namespace pemberlux::sim {

namespace {

constexpr std::uint8_t ESC = 0x1B, GS = 0x1D, FS = 0x1C, LF = 0x0A, CR = 0x0D;

std::string Hex2(unsigned v) {
    char s[8];
    std::snprintf(s, sizeof s, "%02X", v & 0xFF);
    return s;
}

std::string Escaped(unsigned v) {
    return "\\x" + Hex2(v);
}

// ESC ! n and FS ! n, in words.
std::string Style(unsigned n, bool chinese) {
    std::vector<std::string> parts;
    if (!chinese && (n & 0x01)) parts.push_back("font B");
    if (!chinese && (n & 0x08)) parts.push_back("bold");
    const unsigned width = chinese ? 0x04 : 0x20, height = chinese ? 0x08 : 0x10;
    if (n & width) parts.push_back("double width");
    if (n & height) parts.push_back("double height");
    if (n & 0x80) parts.push_back("underline");
    if (parts.empty()) return "normal";
    std::string s;
    for (const std::string& p : parts)
        s += (s.empty() ? "" : ", ") + p;
    return s;
}

// Where the setup frame that starts `data` ends (just past ESC DLE E), or 0.
std::size_t FrameEnd(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 3; i + 2 < size; ++i)
        if (data[i] == ESC && data[i + 1] == 0x10 && data[i + 2] == 0x45) return i + 3;
    return 0;
}

const char* SetupItem(std::uint8_t item) {
    switch (item) {
    case 0x33:
        return "settings query";
    case 0x60:
        return "factory settings";
    case 0x3D:
        return "calibrate label";
    case 0x19:
        return "serial number query";
    case 0x1A:
        return "firmware version query";
    case 0x18:
        return "print statistics query";
    case 0x40:
        return "Wi-Fi reset";
    case 0x23:
        return "serial line settings";
    case 0x3B:
        return "network settings";
    case 0x3E:
        return "Wi-Fi settings";
    default:
        return "settings";
    }
}

} // namespace

PaperLog::PaperLog() = default;

PaperLog::~PaperLog() {
    if (gbk_) ::iconv_close(static_cast<iconv_t>(gbk_));
}

std::string PaperLog::FromGbk(std::uint8_t lead, std::uint8_t trail) {
    if (!gbk_) {
        iconv_t cd = ::iconv_open("UTF-8", "GBK");
        if (cd == reinterpret_cast<iconv_t>(-1)) return {};
        gbk_ = cd;
    }
    iconv_t cd = static_cast<iconv_t>(gbk_);
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    char out[8];
    char* src = in;
    char* dst = out;
    std::size_t inLeft = 2, outLeft = sizeof out;
    const std::size_t r = ::iconv(cd, &src, &inLeft, &dst, &outLeft);
    if (r == static_cast<std::size_t>(-1) || inLeft != 0) return {};
    return std::string(out, dst);
}

void PaperLog::Clear() {
    pending_.clear();
    text_.clear();
    textWidth_ = 0;
    chinese_ = true;
    lines_.clear();
    counts_.clear();
}

std::vector<std::string> PaperLog::Feed(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> out;
    pending_.insert(pending_.end(), data, data + size);
    std::size_t used = 0;
    while (used < pending_.size()) {
        const std::size_t n = Step(out, pending_.data() + used, pending_.size() - used);
        if (n == 0) break; // the rest of a command is still to come
        used += n;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
    return out;
}

void PaperLog::Emit(std::vector<std::string>& out, const std::string& line) {
    out.push_back(line);
    lines_.push_back(line);
    while (lines_.size() > kKeptLines)
        lines_.pop_front();
}

void PaperLog::Command(std::vector<std::string>& out, const std::string& mnemonic, const std::string& meaning,
                       bool printsLine) {
    // Feeds and cuts print the line so far first; mode changes take effect within it.
    if (printsLine) EndText(out, false);
    ++counts_[meaning.substr(0, meaning.find(','))];
    Emit(out, mnemonic + ": " + meaning);
}

void PaperLog::EndText(std::vector<std::string>& out, bool always) {
    if (text_.empty() && !always) return;
    if (text_.empty()) {
        ++counts_["line feed"];
        Emit(out, "LF: line feed");
        return;
    }
    ++counts_["text line"];
    Emit(out, "text \"" + text_ + "\"");
    text_.clear();
    textWidth_ = 0;
}

void PaperLog::AddText(std::vector<std::string>& out, const std::string& utf8) {
    if (textWidth_ >= kLineWidth) {
        ++counts_["text line"];
        Emit(out, "text \"" + text_ + "\"");
        text_.clear();
        textWidth_ = 0;
    }
    text_ += utf8;
    ++textWidth_;
}

std::size_t PaperLog::Step(std::vector<std::string>& out, const std::uint8_t* p, std::size_t have) {
    const std::uint8_t b = p[0];
    auto need = [&](std::size_t n) { return have >= n; };
    auto num = [](unsigned v) { return std::to_string(v); };

    if (b == LF) {
        EndText(out, true);
        return 1;
    }
    if (b == CR) {
        EndText(out, false);
        return 1;
    }
    if (b == ESC) {
        if (!need(2)) return 0;
        switch (p[1]) {
        case 0x40:
            Command(out, "ESC @", "initialize", true);
            return 2;
        case 0x4A:
            if (!need(3)) return 0;
            Command(out, "ESC J " + num(p[2]), "feed, " + num(p[2]) + " dots", true);
            return 3;
        case 0x64:
            if (!need(3)) return 0;
            Command(out, "ESC d " + num(p[2]), "feed lines, " + num(p[2]), true);
            return 3;
        case 0x69:
            Command(out, "ESC i", "full cut", true);
            return 2;
        case 0x6D:
            Command(out, "ESC m", "partial cut", true);
            return 2;
        case 0x70: {
            if (!need(5)) return 0;
            const bool second = p[2] == 1 || p[2] == 0x31;
            Command(out, "ESC p " + num(p[2]) + " " + num(p[3]) + " " + num(p[4]),
                    std::string("drawer kick, drawer ") + (second ? "2" : "1") + ", on " + num(p[3] * 2u) +
                        " ms, off " + num(p[4] * 2u) + " ms");
            return 5;
        }
        case 0x21:
            if (!need(3)) return 0;
            Command(out, "ESC ! " + num(p[2]), "print mode, " + Style(p[2], false));
            return 3;
        case 0x2A: {
            if (!need(5)) return 0;
            const unsigned columns = p[3] + 256u * p[4];
            const bool wide = p[2] == 32 || p[2] == 33;
            const std::size_t size = 5 + static_cast<std::size_t>(columns) * (wide ? 3 : 1);
            if (!need(size)) return 0;
            Command(out, "ESC * " + num(p[2]) + " " + num(columns),
                    "bit image, " + num(columns) + " columns of " + (wide ? "24" : "8") + " dots");
            return size;
        }
        case 0x0D: {
            if (!need(3)) return 0;
            if (p[2] == 0x4C) {
                Command(out, "ESC CR L", "self-test page", true);
                return 3;
            }
            // The Bluetooth module's commands: name and password (25 bytes), restore, query.
            if (p[2] == 0x48) {
                if (!need(25)) return 0;
                Command(out, "ESC CR H", "Bluetooth name and password");
                return 25;
            }
            if (p[2] == 0x49 || p[2] == 0x47) {
                Command(out, p[2] == 0x49 ? "ESC CR I" : "ESC CR G",
                        p[2] == 0x49 ? "Bluetooth restore" : "Bluetooth settings query");
                return 3;
            }
            if (p[2] != 0x53) {
                Command(out, "ESC CR " + num(p[2]), "unknown command");
                return 3;
            }
            static const std::uint8_t download[] = {ESC, 0x0D, 0x53, ESC, 0x90, 0x46, 0x57};
            if (have >= sizeof download && std::equal(download, download + sizeof download, p)) {
                Command(out, "ESC CR S ESC 90 F W", "download mode");
                return sizeof download;
            }
            const std::size_t end = FrameEnd(p, have);
            if (end == 0) {
                // A frame is short; this long without its end it is none.
                if (have < 1024) return 0;
                Command(out, "ESC CR S", "setup frame without its end");
                return 3;
            }
            Command(out, "ESC CR S ... ESC DLE E",
                    std::string("setup frame, ") + (end > 6 && p[3] == ESC ? SetupItem(p[4]) : "settings") + ", " +
                        num(static_cast<unsigned>(end)) + " bytes");
            return end;
        }
        default:
            Command(out, "ESC " + Hex2(p[1]), "unknown command");
            return 2;
        }
    }
    if (b == GS) {
        if (!need(2)) return 0;
        switch (p[1]) {
        case 0x0C:
            Command(out, "GS FF", "black mark feed", true);
            return 2;
        case 0x56: {
            if (!need(3)) return 0;
            const std::uint8_t m = p[2];
            if (m == 0x41 || m == 0x42) {
                if (!need(4)) return 0;
                Command(out, "GS V " + num(m) + " " + num(p[3]),
                        std::string(m == 0x41 ? "full cut" : "partial cut") + ", after feeding " + num(p[3]) + " dots",
                        true);
                return 4;
            }
            const bool partial = m == 1 || m == 0x31;
            Command(out, "GS V " + num(m), partial ? "partial cut" : "full cut", true);
            return 3;
        }
        case 0x21:
            if (!need(3)) return 0;
            Command(out, "GS ! " + num(p[2]),
                    "character size, " + num((p[2] >> 4) + 1u) + " wide, " + num((p[2] & 0x0F) + 1u) + " high");
            return 3;
        default:
            Command(out, "GS " + Hex2(p[1]), "unknown command");
            return 2;
        }
    }
    if (b == FS) {
        if (!need(2)) return 0;
        switch (p[1]) {
        case 0x21:
            if (!need(3)) return 0;
            Command(out, "FS ! " + num(p[2]), "Chinese print mode, " + Style(p[2], true));
            return 3;
        case 0x26:
            chinese_ = true;
            Command(out, "FS &", "Chinese mode on");
            return 2;
        case 0x2E:
            chinese_ = false;
            Command(out, "FS .", "Chinese mode off");
            return 2;
        case 0xAA: {
            if (!need(3)) return 0;
            const std::uint8_t sub = p[2];
            const std::string head = "FS AA " + Hex2(sub);
            switch (sub) {
            case 0x11:
                if (!need(4)) return 0;
                Command(out, head + " " + num(p[3]), p[3] ? "black mark on" : "black mark off");
                return 4;
            case 0x23:
                if (!need(4)) return 0;
                Command(out, head + " " + num(p[3]), p[3] ? "cutter on" : "cutter off");
                return 4;
            case 0x22: {
                if (!need(4)) return 0;
                static const char* const rates[] = {"1200", "2400", "4800", "9600", "19200", "38400"};
                Command(out, head + " " + num(p[3]), std::string("baud rate, ") + (p[3] < 6 ? rates[p[3]] : "unknown"));
                return 4;
            }
            case 0x16:
                if (!need(4)) return 0;
                Command(out, head + " " + num(p[3]), "power test, carriage");
                return 4;
            case 0x17:
                if (!need(5)) return 0;
                Command(out, head + " " + num(p[3]) + " " + num(p[4]),
                        std::string("power test, ") + (p[3] == 2 ? "feed" : "head pins"));
                return 5;
            default:
                Command(out, head, "unknown command");
                return 3;
            }
        }
        default:
            Command(out, "FS " + Hex2(p[1]), "unknown command");
            return 2;
        }
    }
    if (b >= 0x20 && b < 0x7F) {
        AddText(out, std::string(1, static_cast<char>(b)));
        return 1;
    }
    if (b >= 0x81 && b <= 0xFE && chinese_) {
        if (!need(2)) return 0;
        const std::string c = FromGbk(b, p[1]);
        if (!c.empty()) {
            AddText(out, c);
            return 2;
        }
    }
    if (b >= 0x80) {
        AddText(out, Escaped(b));
        return 1;
    }
    // NUL and the other control bytes print nothing.
    return 1;
}

} // namespace pemberlux::sim
