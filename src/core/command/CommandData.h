// What the command test page sends: the bytes of the input box, the interval
// texts, the data file read whole, and the messages of its two jobs.
#pragma once

#include "core/base/Bytes.h"
#include "core/base/MessageIcon.h"
#include "core/port/PrinterPort.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace pemberlux {

// The bytes typed text stands for. Text whose first character is above 7F is
// Chinese to the printer: it goes out in GBK, the character set the printers
// print, followed by LF; a character GBK lacks becomes "?". Other text goes
// out with no LF added: in GBK as well when it holds a character beyond FF
// ("Total 中文"), else each character as its byte.
Bytes TextToPrinterBytes(std::u16string_view text);

// The bytes of the input box: hexadecimal (see ParseHexText) or text. Nothing
// when hexadecimal text holds something else (the caller shows 157).
std::optional<Bytes> CommandBytes(std::u16string_view text, bool hex);

// A loop interval as the edits hold it: the leading decimal digits in
// milliseconds, 0 when there are none, at most INT_MAX.
std::chrono::milliseconds IntervalOf(std::u16string_view text);

// A data file read whole for sending.
struct DataFile {
    enum Status { Read, Unreadable, Empty, TooLarge };
    Status status = Read;
    Bytes bytes;
    int error = 0; // Unreadable: the errno of the open or read that failed
};
// Refuses a file that cannot be opened or read, an empty one, and one too large
// to hold in memory (more than half the machine's memory, or more than it can
// allocate).
DataFile ReadDataFile(const std::filesystem::path& path);
// The page's message for a refused file: the key of its template text.
const char* DataFileMessageKey(DataFile::Status status);

// Which of the page's two jobs a message is for: their open failures differ
// in the icon.
enum class SendJobKind { Data, File };

// The message an open failure of a job shows: the port layer's text with the
// page's own icon (stop for an open or busy failure, and for any on a file
// send; warning for a missing or unknown printer on a data send).
std::optional<PortErrorMessage> OpenFailureMessage(PortErrorCode code, PortKind kind, SendJobKind job);

} // namespace pemberlux
