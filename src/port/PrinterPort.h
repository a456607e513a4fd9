// The port access layer: every exchange with a printer opens one of four
// interfaces (serial line, parallel port, USB printer, TCP), writes a block,
// reads the answer as needed and closes again. Failures throw PortError.
#pragma once

#include "platform/MessageIcon.h"
#include "port/PortSettings.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <termios.h>

namespace pemberlux {

constexpr int MAX_USB_PORTS = 10;

constexpr int PORT_ERR_OPEN = 8000;
constexpr int PORT_ERR_BUSY = 8002;
constexpr int PORT_ERR_WRITE = 8003;
constexpr int PORT_ERR_READ = 8004;
constexpr int PORT_ERR_NO_DEVICES = 8005;
constexpr int PORT_ERR_NO_INFO = 8006;

// What the layer throws; `code` is one of the PORT_ERR_ values.
struct PortError : std::exception {
    explicit PortError(int errorCode) : code(errorCode) {}
    const char* what() const noexcept override;
    int code;
};

// The port object a page or dialog owns. It is filled before each exchange
// (kind and device names from the settings, data and length from the command)
// and is open while a handle slot or the socket holds a descriptor.
struct PrinterPort {
    PrinterPort();
    // A copy takes every field; descriptors of an open port are duplicated, so
    // each object closes only its own.
    PrinterPort(const PrinterPort& other);
    PrinterPort& operator=(const PrinterPort& other);
    ~PrinterPort();

    // Points `data` at a caller's block (not copied; it must outlive the write).
    void SetData(const void* bytes, std::size_t size) {
        data = static_cast<const std::uint8_t*>(bytes);
        length = size;
    }

    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
    int kind = PORT_COM;
    std::string lptName;
    std::string comName;
    // Serial and parallel use the first slot; USB one per opened printer. -1 = empty.
    std::array<int, MAX_USB_PORTS> handles;
    int socket = -1; // -1 = none
    // The serial line settings as the device had them when it was opened.
    termios lineState{};
};

// Opens by kind (1 serial, 2 parallel, 3 USB, 4 network); other kinds return 0.
// An open first closes whatever the port still held; an open that throws has
// released everything it acquired.
int OpenPort(PrinterPort& port);

// "COMn" opens /dev/ttyS(n-1); any other name (normally a path) is opened as it
// stands. The line takes baud rate, parity, data bits, stop bits and flow control
// from CurrentPortSettings, raw. Throws PORT_ERR_BUSY when the device can't be
// opened or is not a serial line.
int OpenComPort(PrinterPort& port);
// "LPTn" opens /dev/lp(n-1); any other name is opened as it stands.
// Throws PORT_ERR_OPEN when the device can't be opened.
int OpenLptPort(PrinterPort& port);
// Opens every usblp printer that matches UsbVendorId / UsbSecondId / UsbVendorOnly,
// up to MAX_USB_PORTS of the first MAX_USB_PORTS examined. Devices are found under
// $PEMBERLUX_SYSFS_ROOT (default /sys) and opened under $PEMBERLUX_DEV_ROOT (/dev).
// Throws PORT_ERR_NO_DEVICES without a usbmisc class folder, PORT_ERR_NO_INFO when
// no printer is there or none matches, PORT_ERR_OPEN when the first wanted
// printer can't be opened.
int OpenUsbPort(PrinterPort& port);
// Connects to CurrentPortSettings' IP address (dotted decimal) and TCP port,
// giving up after about 20 s. Returns 0 when no socket could be created (the
// write that follows then fails); throws PORT_ERR_OPEN when the connect fails.
int OpenNetPort(PrinterPort& port);

// Each writes `length` bytes from `data` and returns the count written, or
// throws PORT_ERR_WRITE.
// Serial: gives up 10000 ms + 3 ms per byte after it started; a short write throws.
std::size_t WriteComPort(PrinterPort& port);
// Parallel: discards pending input and output first; gives up after 10000 ms +
// 20 ms per byte and then returns the short count; only a failing write throws.
std::size_t WriteLptPort(PrinterPort& port);
// USB: the same bytes to every open printer; returns the last printer's count.
std::size_t WriteUsbPort(PrinterPort& port);
// Network: sends until everything has gone; an empty block sends nothing.
std::size_t WriteNetPort(PrinterPort& port);
// The write of the port's kind; other kinds return 0.
std::size_t WritePort(PrinterPort& port);

// Reads up to `count` bytes of the answer into `buffer`; throws PORT_ERR_READ.
// Serial: ends 1000 ms after the last byte, after 1000 ms + 3 ms per requested
//   byte in all, or when `count` bytes are in; possibly with nothing.
// Parallel: returns at once with what is buffered (possibly nothing).
// USB: reads each open printer in turn into the same buffer, waiting as long as
//   it takes; returns the last printer's count.
// Network: waits for bytes; a connection closed by the printer throws.
// Other kinds return 0.
std::size_t ReadPort(PrinterPort& port, void* buffer, std::size_t count);

// The read of a reply loop. It never spins and gives up when `abort` is set:
// it waits in slices of at most 100 ms, checks `abort` between them and returns
// 0 once it is set (bytes gathered until then are dropped: the caller has
// stopped waiting). Otherwise:
// Serial: as the plain read, so a reply arrives whole: gathering ends 1000 ms
//   after the last byte, at `count` bytes or at the 1000 ms + 3 ms per byte bound
//   (then 0 when nothing came; the caller reads again).
// Parallel, network: waits until bytes arrive and returns them.
// USB: waits until any open printer has bytes and returns that printer's.
// Failures throw PORT_ERR_READ as in the plain read.
std::size_t ReadPort(PrinterPort& port, void* buffer, std::size_t count, const std::atomic<bool>& abort);

// Tells a reply loop's read that the bytes gathered so far make a whole reply.
using ReplyComplete = std::function<bool(const std::uint8_t* data, std::size_t size)>;
// The same read for a caller that knows when a reply is whole: a serial read
// then returns as soon as `complete` says so, instead of 1000 ms after the last
// byte (the other kinds return with the first bytes anyway).
std::size_t ReadPort(PrinterPort& port, void* buffer, std::size_t count, const std::atomic<bool>& abort,
                     const ReplyComplete& complete);

// Closes every handle and the socket; always 1, also on a port never opened.
int ClosePort(PrinterPort& port);

// Finds "VID_" and "PID_" in `identity` (compared upper-cased) and hands back the
// up to four characters after each, upper-cased; 1 when both were found, else 0.
int ParseVidPid(const std::string& identity, std::string& vid, std::string& pid);

// The message a caller shows for an error thrown by an open: the string id and
// the icon. Nothing for codes that show no message.
struct PortErrorMessage {
    int stringId;
    MessageIcon icon;
    bool operator==(const PortErrorMessage&) const = default;
};
std::optional<PortErrorMessage> ReportPortError(int code, int kind);

// The USB selection, set from the printer model: four upper-case hex digits
// each; UsbSecondId is the product id, or with UsbVendorOnly = 1 a second vendor.
extern Guarded<std::string> UsbVendorId;
extern Guarded<std::string> UsbSecondId;
extern std::atomic<int> UsbVendorOnly;

} // namespace pemberlux
