// The port access layer: every exchange with a printer opens one of four
// interfaces (serial line, parallel port, USB printer, TCP), writes a block,
// reads the answer as needed and closes again. Failures throw PortError.
#pragma once

#include "core/base/MessageIcon.h"
#include "core/base/Models.h"
#include "core/base/PortSettings.h"
#include "core/base/StringId.h"
#include "core/port/Job.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <termios.h>
#include <utility>
#include <vector>

namespace pemberlux {

constexpr int MAX_USB_PORTS = 10;

// Why a step of the port layer failed, numbered as the user sees it in
// "port error N"; None only in results that did not fail.
enum class PortErrorCode : int {
    None = 0,
    Open = 8000,
    Busy = 8002,
    Write = 8003,
    Read = 8004,
    NoDevices = 8005,
    NoInfo = 8006,
};

// Why a device node could not be opened, as the system said it: the user may
// not open it, it is not there, another program holds it, or something else
// (`error` is the errno then). Empty (`device` "") for every other failure.
struct OpenFailure {
    enum Reason { None, Permission, Absent, Busy, Other };
    Reason reason = None;
    std::string device;
    int error = 0;
    bool usb = false; // a USB printer's node, which the package's udev rule hands out
    bool operator==(const OpenFailure&) const = default;
};
// The reason of an errno from open(), flock() or a terminal call on `device`.
OpenFailure OpenFailureOf(const std::string& device, int error, bool usb = false);

// The line added after an open's message: the device, the reason and what to
// do, in the calling thread's language; "" when there is no reason to tell.
// For permission, what grants access to that node: its group when the group
// may read and write it, for a USB printer the package's udev rule (which
// serves the user logged in at the machine; over ssh only the group does), and
// for a node only its owner may open, neither.
std::string OpenFailureLine(const OpenFailure& failure);

// What the layer throws; `code` says which step failed, `cause` says
// whether the step failed, or was given up because its job was stopped or its
// deadline passed. A failed device open also says why (`open`).
struct PortError : std::exception {
    enum Cause { Failed, Stopped, Expired };
    explicit PortError(PortErrorCode errorCode, Cause why = Failed) : code(errorCode), cause(why) {}
    PortError(PortErrorCode errorCode, OpenFailure why) : code(errorCode), cause(Failed), open(std::move(why)) {}
    const char* what() const noexcept override;
    PortErrorCode code;
    Cause cause;
    OpenFailure open;
};

// The USB selection as one job sees it: four upper-case hex digits each;
// `second` is the product id, or with `vendorOnly` a second vendor id.
struct UsbSelection {
    std::string vendor;
    std::string second;
    bool vendorOnly = false;
    // >= 0: only the printer of this place among the selected ones, in the
    // order of the device list (a fleet's usb:VID:PID@N); else all of them.
    int index = -1;

    // The process-wide selection as it is now (taken when a job starts).
    static UsbSelection Current();
    // Whether a printer with this identity text is one of the selected.
    bool Wants(const std::string& identity) const;
};

// The port of one job. It is built from a snapshot of the interface settings
// and the USB selection, taken when the job starts, and the opens read nothing
// else: another window changing the model or the interface mid-job does not
// change the device a running job talks to. It is open while a handle slot or
// the socket holds a descriptor; it holds its devices against other jobs of
// the process until it is closed.
struct PrinterPort {
    PrinterPort();
    explicit PrinterPort(const PortSettings& snapshot, UsbSelection usbSelection = UsbSelection::Current());
    PrinterPort(const PrinterPort&) = delete;
    PrinterPort& operator=(const PrinterPort&) = delete;
    ~PrinterPort();

    // Points `data` at a caller's block (not copied; it must outlive the write).
    void SetData(const void* bytes, std::size_t size) {
        data = static_cast<const std::uint8_t*>(bytes);
        length = size;
    }

    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
    PortKind kind = PORT_COM;
    std::string lptName;
    std::string comName;
    // The serial line settings and the network address the opens use.
    PortSettings settings;
    UsbSelection usb;
    // Serial and parallel use the first slot; USB one per opened printer. -1 = empty.
    std::array<int, MAX_USB_PORTS> handles;
    int socket = -1; // -1 = none
    // The serial line settings as the device had them when it was opened.
    termios lineState{};
    // The devices this port holds against other jobs (see DeviceLock.h).
    std::vector<std::string> devices;
    // The serial node as opened: the line's exclusive mode is given back
    // through it when the open descriptor was hung up.
    std::string lineNode;
    // When a write last got bytes out; the end of a transfer counts its
    // no-progress bound from here, not afresh.
    JobClock::time_point progress{};
};

// Every blocking step below takes the job's limits and ends within about 100 ms
// of a stop request or of the job's deadline, with a PortError whose cause
// says which. A job with a stall bound (JobLimits::stall) has its writes fail
// with cause Expired once they make no progress for that long, in place of
// the per-write time bounds below.

// Opens by kind (1 serial, 2 parallel, 3 USB, 4 network) and says whether the
// port is open; other kinds return false. An open first closes whatever the port still held; an open that throws has
// released everything it acquired. An open waits while another job of the
// process holds the device.
bool OpenPort(PrinterPort& port, const JobLimits& job);

// "COMn" opens /dev/ttyS(n-1); any other name (normally a path) is opened as it
// stands, exclusively: a line another program holds is busy. The line takes
// baud rate, parity, data bits, stop bits and flow control from the port's
// settings, raw. Throws PortErrorCode::Busy when the device can't be opened, is held
// elsewhere or is not a serial line.
bool OpenComPort(PrinterPort& port, const JobLimits& job);
// "LPTn" opens /dev/lp(n-1); any other name is opened as it stands.
// Throws PortErrorCode::Open when the device can't be opened.
bool OpenLptPort(PrinterPort& port, const JobLimits& job);
// Opens every usblp printer that the port's USB selection wants, up to
// MAX_USB_PORTS of the first MAX_USB_PORTS examined. Devices are found under
// $PEMBERLUX_SYSFS_ROOT (default /sys) and opened under $PEMBERLUX_DEV_ROOT (/dev).
// Throws PortErrorCode::NoDevices without a usbmisc class folder, PortErrorCode::NoInfo when
// no printer is there or none matches, PortErrorCode::Open when the first wanted
// printer can't be opened.
bool OpenUsbPort(PrinterPort& port, const JobLimits& job);
// Connects to the settings' IP address (numeric) and TCP port, or to each of
// the settings' resolved addresses in turn until one takes the connection,
// giving up after about 20 s in all. Returns false when no socket could be created
// (the write that follows then fails); throws PortErrorCode::Open when the connect fails.
bool OpenNetPort(PrinterPort& port, const JobLimits& job);

// Each writes `length` bytes from `data` and returns the count written, or
// throws PortErrorCode::Write.
// Serial: gives up 10000 ms + 3 ms per byte after it started; a short write throws.
std::size_t WriteComPort(PrinterPort& port, const JobLimits& job);
// Parallel: discards unread input first; gives up after 10000 ms +
// 20 ms per byte and then returns the short count; only a failing write throws.
std::size_t WriteLptPort(PrinterPort& port, const JobLimits& job);
// USB: discards what the printers sent that nobody read (the end of a late
// answer, status bytes), then writes the same bytes to every open printer,
// each write waited for until the driver has finished the transfer (10000 ms +
// 3 ms per byte at most: a transfer still pending then is a failed write);
// returns the last printer's count.
std::size_t WriteUsbPort(PrinterPort& port, const JobLimits& job);
// Network: sends until everything has gone; an empty block sends nothing.
std::size_t WriteNetPort(PrinterPort& port, const JobLimits& job);
// The write of the port's kind; other kinds return 0.
std::size_t WritePort(PrinterPort& port, const JobLimits& job);

// Whether the port stays in use after DrainPort (a file sent in a loop), the
// transfer ends there, or it ends there and the printer is to confirm that it
// read everything (a firmware download, which a printer takes to its flash).
enum class DrainEnd { More, Last, Confirmed };

// Sees a transfer's writes through to the printer before anyone calls them
// sent: a write only hands bytes to the kernel, which may still hold them.
// Network: what the printer sends meanwhile is read and dropped (a socket
// closed with unread input is reset, and the kernel drops what it still
// held); waits until the printer has acknowledged every byte (the kernel's
// send queue is empty); with DrainEnd::Last first shuts our side down and then
// also waits until the printer has closed its side or gone quiet. Serial: waits
// until the line's output queue is empty. USB writes already wait for their
// transfers and parallel ones have no queue to watch: nothing to do; other
// kinds neither. Waiting ends with PortErrorCode::Write (cause Expired) once nothing
// has moved for the job's stall bound (STALL_DEFAULT without one), counted
// from the last write's progress; with PortErrorCode::Write (Failed) when the
// connection or the line fails; and at a stop or the job's deadline.
// DrainEnd::Confirmed over the network waits, once every byte is
// acknowledged, for the printer to close its side (it read up to our end of
// stream) for as long as the stall bound, however quiet or talkative it is
// meanwhile; a reset fails as above. Returns false when the printer did
// neither within the bound: the bytes went, the printer did not confirm them.
// Every other end returns true.
bool DrainPort(PrinterPort& port, const JobLimits& job, DrainEnd end);

// Tells a read that the bytes gathered so far make a whole reply.
using ReplyComplete = std::function<bool(const std::uint8_t* data, std::size_t size)>;

// Reads up to `count` bytes of the answer into `buffer`; throws PortErrorCode::Read.
// It waits for the first bytes as long as the job allows, never spinning.
// Serial: gathers the reply: ends 1000 ms after the last byte, at `count` bytes,
//   when `complete` says the reply is whole, or at the 1000 ms + 3 ms per byte
//   bound (then 0 when nothing came; the caller reads again). A reply that has
//   begun to arrive is gathered whole even when the job's deadline passes meanwhile.
// Parallel, network: returns the bytes that arrived.
// USB: returns the bytes of the first open printer that has some.
// Other kinds return 0.
std::size_t ReadPort(PrinterPort& port, void* buffer, std::size_t count, const JobLimits& job,
                     const ReplyComplete* complete = nullptr);

// A USB printer present on this machine, as the opens find it.
struct UsbPrinterInfo {
    std::string node;     // the device node ("/dev/usb/lp0")
    std::string vendorId; // four lower-case hex digits, as the device tells them
    std::string productId;
};
// Every usblp printer under $PEMBERLUX_SYSFS_ROOT, in number order.
std::vector<UsbPrinterInfo> ListUsbPrinters();

// Closes every handle and the socket and releases the devices, also on a port
// never opened. A serial line is left open to others again, also
// when it was hung up; unread input of a socket is dropped first, so the close
// is not a reset.
void ClosePort(PrinterPort& port);

// Finds "VID_" and "PID_" in `identity` (compared upper-cased) and hands back the
// up to four characters after each, upper-cased (vendor, product); nothing
// unless both were found.
std::optional<std::pair<std::string, std::string>> ParseVidPid(const std::string& identity);

// The message a caller shows for an error thrown by an open: the string id and
// the icon. Nothing for codes that show no message.
struct PortErrorMessage {
    StringId stringId;
    MessageIcon icon;
    bool operator==(const PortErrorMessage&) const = default;
};
std::optional<PortErrorMessage> ReportPortError(PortErrorCode code, PortKind kind);

// The process-wide USB selection, set from the printer model on the GUI thread
// (see UsbSelection).
extern Guarded<std::string> UsbVendorId;
extern Guarded<std::string> UsbSecondId;
extern std::atomic<int> UsbVendorOnly;

// The model's USB selection into UsbVendorId, UsbSecondId and UsbVendorOnly.
void SelectUsbIds(const PrinterModel& model);

} // namespace pemberlux
