#include "core/command/CommandData.h"

#include "core/base/FileText.h"
#include "core/base/HexText.h"

#include <cerrno>
#include <climits>
#include <iconv.h>
#include <unistd.h>

namespace pemberlux {

namespace {

// GBK bytes of `text`, "?" for whatever GBK lacks (a lone surrogate too).
Bytes ToGbk(std::u16string_view text) {
    Bytes out;
    iconv_t cd = ::iconv_open("GBK", "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter: keep to what every printer prints.
        for (char16_t c : text)
            out.push_back(c <= 0x7F ? static_cast<std::uint8_t>(c) : '?');
        return out;
    }
    std::vector<char> in;
    in.reserve(text.size() * 2);
    for (char16_t c : text) {
        in.push_back(static_cast<char>(c & 0xFF));
        in.push_back(static_cast<char>(c >> 8));
    }
    char* src = in.data();
    std::size_t left = in.size();
    char buffer[4096];
    while (left > 0) {
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t r = ::iconv(cd, &src, &left, &dst, &room);
        out.insert(out.end(), buffer, dst);
        if (r != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (a surrogate cut off at the end): one character
        // (a whole surrogate pair when there is one) becomes "?".
        out.push_back('?');
        std::size_t skip = 2;
        const auto unit =
            static_cast<char16_t>(static_cast<unsigned char>(src[0]) | static_cast<unsigned char>(src[1]) << 8);
        if (unit >= 0xD800 && unit <= 0xDBFF && left >= 4) {
            const auto next =
                static_cast<char16_t>(static_cast<unsigned char>(src[2]) | static_cast<unsigned char>(src[3]) << 8);
            if (next >= 0xDC00 && next <= 0xDFFF) skip = 4;
        }
        skip = std::min(skip, left);
        src += skip;
        left -= skip;
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    ::iconv_close(cd);
    return out;
}

std::uint64_t PhysicalMemory() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long size = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || size <= 0) return UINT64_MAX;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size);
}

} // namespace

Bytes TextToPrinterBytes(std::u16string_view text) {
    if (text.empty()) return {};
    if (text.front() > 0x7F) {
        Bytes out = ToGbk(text);
        out.push_back(0x0A);
        return out;
    }
    // A character beyond FF has no byte of its own: the text goes in GBK as a
    // whole, so that Chinese after a Latin start still prints.
    for (char16_t c : text)
        if (c > 0xFF) return ToGbk(text);
    Bytes out;
    out.reserve(text.size());
    for (char16_t c : text)
        out.push_back(static_cast<std::uint8_t>(c));
    return out;
}

std::optional<Bytes> CommandBytes(std::u16string_view text, bool hex) {
    if (!hex) return TextToPrinterBytes(text);
    Bytes out;
    if (!ParseHexText(text, out)) return std::nullopt;
    return out;
}

std::chrono::milliseconds IntervalOf(std::u16string_view text) {
    long long ms = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') break;
        ms = std::min<long long>(ms * 10 + (c - u'0'), INT_MAX);
    }
    return std::chrono::milliseconds(ms);
}

DataFile ReadDataFile(const std::filesystem::path& path) {
    DataFile file;
    const WholeFile read = ReadWholeFile(path, file.bytes, PhysicalMemory() / 2);
    if (read.error != 0) {
        file.status = DataFile::Unreadable;
        file.error = read.error;
    } else if (read.tooLarge) {
        file.status = DataFile::TooLarge;
    } else if (file.bytes.empty()) {
        file.status = DataFile::Empty;
    }
    return file;
}

const char* DataFileMessageKey(DataFile::Status status) {
    switch (status) {
    case DataFile::Unreadable:
        return "message.FileUnreadable";
    case DataFile::Empty:
        return "message.FileEmpty";
    case DataFile::TooLarge:
        return "message.FileTooLarge";
    case DataFile::Read:
        break;
    }
    return "";
}

std::optional<PortErrorMessage> OpenFailureMessage(PortErrorCode code, PortKind kind, SendJobKind job) {
    std::optional<PortErrorMessage> message = ReportPortError(code, kind);
    if (!message) return message;
    const bool openOrBusy = code == PortErrorCode::Open || code == PortErrorCode::Busy;
    message->icon = openOrBusy || job == SendJobKind::File ? MessageIcon::Stop : MessageIcon::Warning;
    return message;
}

} // namespace pemberlux
