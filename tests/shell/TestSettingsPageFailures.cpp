// Both settings pages with ports that cannot be opened: every button that
// talks to the printer shows the interface's own message with the warning icon,
// and after it why a device node could not be opened (absent, or closed to the user). And a
// factory reset cut short by closing the window.
#include "../label/LabelPageFixture.h"
#include "../receipt/ReceiptPageFixture.h"
#include "Pty.h"
#include "Unprivileged.h"

namespace pemberlux {
namespace {

using namespace test;

// Per page: the model, three buttons that reach the printer, and how many
// reports the main window gets from them when nothing was reached.
struct LabelFailures : LabelFamily {
    static constexpr const char* MODEL = "LB-610";
    static constexpr int BUTTONS[] = {IDC_GET_PRINTER_SETTINGS, IDC_SEND_SETTINGS, IDC_PRINT_SELF_TEST};
    static constexpr int RESET = IDC_RESET_ALL_SETTINGS;
    static constexpr const char* RESET_FRAME = "1B 0D 53 1B 60 01 1B 10 45";
    // The read's refresh and the send report also when nothing was reached.
    static constexpr std::size_t REPORTS = 2;
    // The printer's line changes as it takes the reset frame.
    static constexpr const char* LINE_AFTER_CLOSE =
        "Baudrate=9600\r\nParitySetup=None\r\nDataBit=8\r\nStopBit=1\r\nFlowControl=DTR\r\n";
};
struct ReceiptFailures : ReceiptFamily {
    static constexpr const char* MODEL = "TR-510";
    static constexpr int BUTTONS[] = {IDC_RC_GET_PRINTER_SETTINGS, IDC_RC_SEND_SETTINGS, IDC_RC_RESTORE_ALL_SETTINGS};
    static constexpr int RESET = IDC_RC_RESTORE_ALL_SETTINGS;
    static constexpr const char* RESET_FRAME = "1B 0D 53 1B 16 00 1B 10 45 1D 10 01";
    // A read whose port failed ends there; nothing was restored.
    static constexpr std::size_t REPORTS = 0;
    // The printer's line changes a second after the restore.
    static constexpr const char* LINE_AFTER_CLOSE =
        "Baudrate=57600\r\nParitySetup=None\r\nDataBit=8\r\nStopBit=1\r\nFlowControl=Xon/Xoff\r\n";
};

template <class Family> class PageOpenFailures : public SettingsPageTest<Family> {};
using Families = ::testing::Types<LabelFailures, ReceiptFailures>;
TYPED_TEST_SUITE(PageOpenFailures, Families);

TYPED_TEST(PageOpenFailures, ShowTheInterfacesMessage) {
    std::uint16_t closedPort;
    {
        sim::TcpServer gone(*this->printer);
        closedPort = gone.Port();
    }
    const std::string tty = (this->dir / "no-such-tty").string();
    const std::string lp = (this->dir / "no-such-lp").string();
    // A device node that is not there, or one the user may not open: the
    // interface's message, then a line that says so.
    const std::string absent = ": no such device. Check that the printer is connected and switched on.";
    Pty closed;
    ASSERT_TRUE(DenyAccess(closed.Path()));
    const std::string group = OwningGroup(closed.Path());
    const std::string denied = closed.Path() + ": permission denied. The device belongs to the group \"" + group +
                               "\": add your user to it (sudo usermod -aG " + group + " $USER) and log in again.";
    struct Case {
        PortKind kind;
        std::string device;
        std::string message;
    } const cases[] = {
        {PORT_COM, tty, "The interface is used by other program or non-existent!\n" + tty + absent},
        {PORT_LPT, lp, "Open the LPT interface fail!\n" + lp + absent},
        {PORT_COM, closed.Path(), "The interface is used by other program or non-existent!\n" + denied},
        {PORT_LPT, closed.Path(), "Open the LPT interface fail!\n" + denied},
        {PORT_LAN, "", "Lan connect fail. Please ensure the wire is connecting and the IP is valid."},
        {PORT_USB, "", "Haven't detected any printer on line."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        this->messages.Clear();
        PortSettings s = this->Record(TypeParam::MODEL, c.kind);
        s.comName = s.lptName = c.device;
        s.tcpPort = closedPort;
        this->StartWith(s);
        {
            // As root, the page's jobs keep to the node's permissions as a user's would.
            const FilePermissionsKept asAUser;
            for (int button : TypeParam::BUTTONS) {
                this->Click(button);
                ASSERT_TRUE(this->WaitIdle());
            }
        }
        RunEventsFor(250ms);
        ASSERT_EQ(this->messages.Count(), 3u);
        for (const RecordedMessage& m : this->messages.Messages()) {
            EXPECT_EQ(m.text, c.message);
            EXPECT_EQ(m.icon, MessageIcon::Warning);
        }
        EXPECT_EQ(this->spy->reports.size(), TypeParam::REPORTS);
        this->window.reset();
    }
}

template <class Family> class PageFactoryReset : public SettingsPageTest<Family> {};
TYPED_TEST_SUITE(PageFactoryReset, Families);

// A window closed during the second the printer has after the reset: a label
// printer is on its factory line from the moment it took the frame, and the
// settings file says so; a receipt printer is taken over only after that
// second, so the file keeps the line it had. Nothing is read back.
TYPED_TEST(PageFactoryReset, ClosingTheWindowDuringTheWaitLeavesTheLineThePrinterHas) {
    PortSettings s = this->Record(TypeParam::MODEL, PORT_COM);
    this->pty = std::make_unique<sim::PtyPort>(*this->printer);
    s.comName = this->pty->Path();
    s.baudRate = "57600";
    s.flowControl = "Xon/Xoff";
    this->StartWith(s);
    this->Click(TypeParam::RESET);
    ASSERT_TRUE(WaitUntil([&] { return HexText(this->printer->Received()) == TypeParam::RESET_FRAME; }, 5s));
    RunEventsFor(200ms); // well into the second the printer has
    this->window.reset();

    EXPECT_EQ(HexText(this->printer->Received()), TypeParam::RESET_FRAME);
    const std::string file = this->SettingsText();
    EXPECT_NE(file.find(TypeParam::LINE_AFTER_CLOSE), std::string::npos) << file;
    EXPECT_EQ(this->messages.Count(), 0u);
}

} // namespace
} // namespace pemberlux
