// What a screen reader reads from the main window's value fields: the caption
// and the value shown now, after every change of the value.
#include "MainWindowFixture.h"

#include <QAccessible>
#include <QComboBox>

namespace pemberlux {
namespace {

using Dlg = CPemberluxDlg;
using Page = CPagePortSet;

struct Reading {
    std::string name;
    std::string description;
};

// As assistive technology sees the widget, through its accessible interface.
Reading Read(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    if (!a) return {};
    return {a->text(QAccessible::Name).toStdString(), a->text(QAccessible::Description).toStdString()};
}

class AccessibleValues : public test::MainWindowTest {
protected:
    Reading Printer() const { return Read(window->Control(Dlg::IDC_PRINTER_LABEL)); }
    Reading Interface() const { return Read(window->Control(Dlg::IDC_INTERFACE_LABEL)); }
};

TEST_F(AccessibleValues, PrinterAndInterfaceAreReadWithTheirCaptions) {
    PortSettings s = test::UserRecord("LB-710", PORT_COM);
    s.comName = "COM3";
    s.baudRate = "115200";
    Start(s);
    // The panel shows "  COM3|115200"; what is read carries no padding.
    EXPECT_EQ(window->ControlText(Dlg::IDC_INTERFACE_LABEL), "  COM3|115200");
    EXPECT_EQ(Interface().name, "Interface");
    EXPECT_EQ(Interface().description, "COM3|115200");
    EXPECT_EQ(Printer().name, "Printer");
    EXPECT_EQ(Printer().description, "LB-710");
}

TEST_F(AccessibleValues, ReadingFollowsEveryChangeOfTheValue) {
    Start(test::UserRecord("LB-610", PORT_USB));
    EXPECT_EQ(Interface().description, "USB");
    struct Case {
        int radio;
        const char* read;
    } const cases[] = {
        {Page::IDC_NETWORK, "LAN"},
        {Page::IDC_PARALLEL, "LPT1"},
        {Page::IDC_SERIAL, "COM1|9600"},
        {Page::IDC_USB, "USB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.read);
        QWidget* radio = InterfacePage().Control(c.radio);
        QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
        EXPECT_EQ(Interface().name, "Interface");
        EXPECT_EQ(Interface().description, c.read);
    }

    QComboBox* models = InterfacePage().ModelList();
    const int position = models->findText(QStringLiteral("TR-510"));
    ASSERT_GE(position, 0);
    models->setCurrentIndex(position);
    emit models->activated(position);
    EXPECT_EQ(Printer().name, "Printer");
    EXPECT_EQ(Printer().description, "TR-510");
}

} // namespace
} // namespace pemberlux
