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
        // A node that cannot be looked at: the system's words.
        {{OpenFailure::Permission, missing, EACCES},
         LANG_ENGLISH,
         missing + ": the device could not be opened (Permission denied)."},
    };
    for (const auto& c : cases) {
        SetThreadUiLanguage(c.lang);
        EXPECT_EQ(OpenFailureLine(c.failure), c.line) << c.line;
    }
    SetThreadUiLanguage(LANG_ENGLISH);
}

// What grants access depends on the node: its group only where the group may
// read and write it, for a USB printer the package's udev rule (at the machine)
// and the group (over ssh), for a node only its owner may open neither.
TEST(OpenFailureTest, PermissionAdviceFitsTheNode) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving the nodes their owners needs root";
    TempDir dir;
    const std::string udev = ": permission denied. Install the udev rule of the pemberlux package, then plug the "
                             "printer in again: it gives the printer's USB device to the user logged in at this "
                             "machine, not to a login over ssh.";
    const std::string owner = " may open the device (mode ";
    const struct {
        const char* node;
        uid_t user;
        gid_t group; // Debian's: 7 lp, 20 dialout
        mode_t mode;
        bool usb;
        int lang;
        std::string line; // after the node's path
    } cases[] = {
        {"ttyS0", 0, 20, 0660, false, LANG_ENGLISH,
         ": permission denied. The device belongs to the group \"dialout\": add your user to it (sudo usermod -aG "
         "dialout $USER) and log in again."},
        {"ttyS1", 1, 20, 0600, false, LANG_ENGLISH,
         ": permission denied. Only its owner \"daemon\"" + owner +
             "0600), so joining its group would not help: a udev rule must give the device a group that may read "
             "and write it (ask the administrator)."},
        {"ttyS2", 0, 20, 0640, false, LANG_ENGLISH,
         ": permission denied. Only its owner \"root\"" + owner +
             "0640), so joining its group would not help: a udev rule must give the device a group that may read "
             "and write it (ask the administrator)."},
        {"lp0", 0, 0, 0660, false, LANG_ENGLISH,
         ": permission denied. Only its owner \"root\"" + owner +
             "0660), so joining its group would not help: a udev rule must give the device a group that may read "
             "and write it (ask the administrator)."},
        {"usb-lp0", 0, 7, 0660, true, LANG_ENGLISH,
         ": permission denied. Logged in at this machine, the udev rule of the pemberlux package gives you the "
         "printer (install it, then plug the printer in again); over ssh, add your user to the group \"lp\" (sudo "
         "usermod -aG lp $USER) and log in again."},
        {"usb-lp1", 0, 7, 0660, true, LANG_CHINESE,
         "：没有权限打开。在本机登录时，pemberlux 软件包的 udev 规则会把打印机交给您（安装后重新插上打印机）；通过 ssh "
         "登录时，请把当前用户加入用户组“lp”（sudo usermod -aG lp $USER）后重新登录。"},
        {"usb-lp2", 0, 7, 0600, true, LANG_ENGLISH, udev},
        {"usb-lp3", 0, 0, 0660, true, LANG_ENGLISH, udev},
    };
    for (const auto& c : cases) {
        const std::string node = (dir / c.node).string();
        dir.Write(c.node, "");
        ASSERT_EQ(::chown(node.c_str(), c.user, c.group), 0) << c.node;
        ASSERT_EQ(::chmod(node.c_str(), c.mode), 0) << c.node;
        SetThreadUiLanguage(c.lang);
        EXPECT_EQ(OpenFailureLine(OpenFailureOf(node, EACCES, c.usb)), node + c.line) << c.node;
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
    auto openAs = [&](PortKind kind, const std::string& device) {
        s.portKind = kind;
        s.comName = s.lptName = device;
        PrinterPort port(s, {});
        const std::uint8_t frame[] = {0x1b, 0x40};
        return SendFrame(port, frame, {});
    };
    const ExchangeResult absent = openAs(PORT_COM, missing);
    EXPECT_EQ(absent.code, PortErrorCode::Busy);
    EXPECT_EQ(absent.open, (OpenFailure{OpenFailure::Absent, missing, ENOENT}));
    EXPECT_EQ(openAs(PORT_LPT, missing).open.reason, OpenFailure::Absent);

    // Another program holds the line by its lock.
    {
        const int other = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(other, 0);
        ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
        const ExchangeResult busy = openAs(PORT_COM, pty.Path());
        EXPECT_EQ(busy.code, PortErrorCode::Busy);
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
            report = std::to_string(static_cast<int>(com.code)) + "|" + std::to_string(com.open.reason) + "|" +
                     std::to_string(static_cast<int>(lpt.code)) + "|" + std::to_string(lpt.open.reason) + "|" +
                     OpenFailureLine(com.open);
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
    EXPECT_EQ(report, std::to_string(static_cast<int>(PortErrorCode::Busy)) + "|" +
                          std::to_string(OpenFailure::Permission) + "|" +
                          std::to_string(static_cast<int>(PortErrorCode::Open)) + "|" +
                          std::to_string(OpenFailure::Permission) + "|" + pty.Path() +
                          ": permission denied. The device belongs to the group \"" + group +
                          "\": add your user to it (sudo usermod -aG " + group + " $USER) and log in again.");
}

} // namespace
} // namespace pemberlux::test
