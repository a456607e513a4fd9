// Both settings pages with ports that cannot be opened: every button that
// talks to the printer shows the interface's own message with the warning icon,
// and after it why a device node could not be opened.
#include "../label/LabelPageFixture.h"
#include "../receipt/ReceiptPageFixture.h"

namespace pemberlux {
namespace {

using namespace test;

// Per page: the model, three buttons that reach the printer, and how many
// reports the main window gets from them when nothing was reached.
struct LabelFailures : LabelFamily {
    static constexpr const char* MODEL = "LB-610";
    static constexpr int BUTTONS[] = {IDC_GET_PRINTER_SETTINGS, IDC_SEND_SETTINGS, IDC_PRINT_SELF_TEST};
    // The read's refresh and the send report also when nothing was reached.
    static constexpr std::size_t REPORTS = 2;
};
struct ReceiptFailures : ReceiptFamily {
    static constexpr const char* MODEL = "TR-510";
    static constexpr int BUTTONS[] = {IDC_RC_GET_PRINTER_SETTINGS, IDC_RC_SEND_SETTINGS, IDC_RC_RESTORE_ALL_SETTINGS};
    // Nothing was read and nothing restored.
    static constexpr std::size_t REPORTS = 0;
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
    // A device node that is not there: the interface's message, then a line that says so.
    const std::string absent = ": no such device. Check that the printer is connected and switched on.";
    struct Case {
        int kind;
        std::string device;
        std::string message;
    } const cases[] = {
        {PORT_COM, tty, "The interface is used by other program or non-existent!\n" + tty + absent},
        {PORT_LPT, lp, "Open the LPT interface fail!\n" + lp + absent},
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
        for (int button : TypeParam::BUTTONS) {
            this->Click(button);
            ASSERT_TRUE(this->WaitIdle());
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

} // namespace
} // namespace pemberlux
