// What a screen reader reads from the main window's value fields: the value
// shown now as the field's name and text, after every change of the value, and
// the caption as the label that names it.
#include "MainWindowFixture.h"

#include <QAccessible>
#include <QComboBox>

namespace pemberlux {
namespace {

using Dlg = CPemberluxDlg;
using Page = CPagePortSet;

struct Reading {
    std::string name;
    std::string text;    // through the text interface, when there is one
    std::string caption; // the name of what labels it
};

// As assistive technology sees the widget, through its accessible interface.
Reading Read(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    if (!a) return {};
    Reading r;
    r.name = a->text(QAccessible::Name).toStdString();
    if (QAccessibleTextInterface* t = a->textInterface()) {
        r.text = t->text(0, t->characterCount()).toStdString();
    } else {
        r.text = r.name;
    }
    for (const auto& [other, relation] : a->relations(QAccessible::Label))
        r.caption = other->text(QAccessible::Name).toStdString();
    return r;
}

class AccessibleValues : public test::MainWindowTest {
protected:
    Reading Printer() const { return Read(window->Control(Dlg::IDC_PRINTER_LABEL)); }
    Reading Interface() const { return Read(window->Control(Dlg::IDC_INTERFACE_LABEL)); }
};

TEST_F(AccessibleValues, PrinterAndInterfaceAreReadAsTheirValuesLabelledByTheirCaptions) {
    PortSettings s = test::UserRecord("LB-710", PORT_COM);
    s.comName = "COM3";
    s.baudRate = "115200";
    Start(s);
    // The panel shows "  COM3|115200"; what is read carries no padding.
    EXPECT_EQ(window->ControlText(Dlg::IDC_INTERFACE_LABEL), "  COM3|115200");
    EXPECT_EQ(Interface().name, "COM3|115200");
    EXPECT_EQ(Interface().text, "COM3|115200");
    EXPECT_EQ(Interface().caption, "Interface");
    EXPECT_EQ(Printer().name, "LB-710");
    EXPECT_EQ(Printer().text, "LB-710");
    EXPECT_EQ(Printer().caption, "Printer");
}

TEST_F(AccessibleValues, ReadingFollowsEveryChangeOfTheValue) {
    Start(test::UserRecord("LB-610", PORT_USB));
    EXPECT_EQ(Interface().name, "USB");
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
        EXPECT_EQ(Interface().name, c.read);
        EXPECT_EQ(Interface().text, c.read);
        EXPECT_EQ(Interface().caption, "Interface");
    }

    QComboBox* models = InterfacePage().ModelList();
    const int position = models->findText(QStringLiteral("TR-510"));
    ASSERT_GE(position, 0);
    models->setCurrentIndex(position);
    emit models->activated(position);
    EXPECT_EQ(Printer().name, "TR-510");
    EXPECT_EQ(Printer().caption, "Printer Model"); // the receipt printers' caption
}

} // namespace
} // namespace pemberlux
