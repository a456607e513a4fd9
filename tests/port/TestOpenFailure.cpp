// Why a device could not be opened, and the line the program adds after the
// interface's message: the device, the reason and, for permission, the remedy.
#include "Pty.h"
#include "TempDir.h"
#include "Unprivileged.h"
#include "core/base/UiText.h"
#include "core/port/Exchange.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace pemberlux::test {
namespace {

TEST(OpenFailureTest, ErrnoGivesTheReason) {
    const struct {
        int error;
        OpenFailure::Reason reason;
    } cases[] = {
        {EACCES, OpenFailure::Permission}, {EPERM, OpenFailure::Permission}, {ENOENT, OpenFailure::Absent},
        {ENODEV, OpenFailure::Absent},     {ENXIO, OpenFailure::Absent},     {EBUSY, OpenFailure::Busy},
        {EWOULDBLOCK, OpenFailure::Busy},  {ENOTTY, OpenFailure::Other},     {EIO, OpenFailure::Other},
    };
    for (const auto& c : cases) {
        const OpenFailure f = OpenFailureOf("/dev/ttyS0", c.error);
        EXPECT_EQ(f.reason, c.reason) << c.error;
        EXPECT_EQ(f.device, "/dev/ttyS0");
        EXPECT_EQ(f.error, c.error);
    }
}

TEST(OpenFailureTest, LineNamesTheDeviceAndTheReasonInBothLanguages) {
    TempDir dir;
    const std::string missing = (dir / "ttyUSB7").string();
    const struct {
        OpenFailure failure;
        int lang;
        std::string line;
    } cases[] = {
        {{}, LANG_ENGLISH, ""},
        {{OpenFailure::Absent, missing, ENOENT},
         LANG_ENGLISH,
         missing + ": no such device. Check that the printer is connected and switched on."},
        {{OpenFailure::Absent, missing, ENOENT},
         LANG_CHINESE,
         missing + "：设备不存在。请检查打印机是否已连接并打开电源。"},
        {{OpenFailure::Busy, "/dev/ttyUSB0", EWOULDBLOCK},
         LANG_ENGLISH,
         "/dev/ttyUSB0: the device is in use by another program."},
        {{OpenFailure::Busy, "/dev/ttyUSB0", EWOULDBLOCK}, LANG_CHINESE, "/dev/ttyUSB0：设备正被其他程序使用。"},
        {{OpenFailure::Other, "/dev/ttyS0", EIO},
         LANG_ENGLISH,
         "/dev/ttyS0: the device could not be opened (Input/output error)."},
        // A node of root's group: only the udev rule helps.
        {{OpenFailure::Permission, "/dev/null", EACCES},
         LANG_ENGLISH,
         "/dev/null: permission denied. Install the udev rule of the pemberlux package (it gives the logged-in "
         "user the printer's USB device), then plug the printer in again."},
    };
    for (const auto& c : cases) {
        SetThreadUiLanguage(c.lang);
        EXPECT_EQ(OpenFailureLine(c.failure), c.line) << c.line;
    }
    SetThreadUiLanguage(LANG_ENGLISH);
}

// The opens keep the reason; run as a user the node is closed to, the serial
// and the parallel open say "permission" and name the group to join.
TEST(OpenFailureTest, OpensKeepTheReasonOfAFailedOpen) {
    Pty pty;
    TempDir dir;
    const std::string missing = (dir / "ttyUSB9").string();
    PortSettings s;
    s.baudRate = "9600";
    auto openAs = [&](int kind, const std::string& device) {
        s.portKind = kind;
        s.comName = s.lptName = device;
        PrinterPort port(s, {});
        const std::uint8_t frame[] = {0x1b, 0x40};
        return SendFrame(port, frame, {});
    };
    const ExchangeResult absent = openAs(PORT_COM, missing);
    EXPECT_EQ(absent.code, PORT_ERR_BUSY);
    EXPECT_EQ(absent.open, (OpenFailure{OpenFailure::Absent, missing, ENOENT}));
    EXPECT_EQ(openAs(PORT_LPT, missing).open.reason, OpenFailure::Absent);

    // Another program holds the line by its lock.
    {
        const int other = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(other, 0);
        ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
        const ExchangeResult busy = openAs(PORT_COM, pty.Path());
        EXPECT_EQ(busy.code, PORT_ERR_BUSY);
        EXPECT_EQ(busy.open.reason, OpenFailure::Busy);
        ::close(other);
    }

    ASSERT_TRUE(DenyAccess(pty.Path()));
    const std::string group = OwningGroup(pty.Path());
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipe[0]);
        std::string report = "no drop";
        if (DropPrivileges()) {
            SetThreadUiLanguage(LANG_ENGLISH);
            const ExchangeResult com = openAs(PORT_COM, pty.Path());
            const ExchangeResult lpt = openAs(PORT_LPT, pty.Path());
            report = std::to_string(com.code) + "|" + std::to_string(com.open.reason) + "|" + std::to_string(lpt.code) +
                     "|" + std::to_string(lpt.open.reason) + "|" + OpenFailureLine(com.open);
        }
        [[maybe_unused]] const ssize_t n = ::write(pipe[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(pipe[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe[0]);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(report, std::to_string(PORT_ERR_BUSY) + "|" + std::to_string(OpenFailure::Permission) + "|" +
                          std::to_string(PORT_ERR_OPEN) + "|" + std::to_string(OpenFailure::Permission) + "|" +
                          pty.Path() + ": permission denied. The device belongs to the group \"" + group +
                          "\": add your user to it (sudo usermod -aG " + group + " $USER) and log in again.");
}

} // namespace
} // namespace pemberlux::test
