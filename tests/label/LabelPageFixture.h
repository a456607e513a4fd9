// The label settings page inside the program's window, against the simulated
// label printer on a real transport.
#pragma once

#include "../shell/SettingsPageFixture.h"
#include "LabelPrinterSim.h"
#include "ui/label/PrintingSetupLB610_1.h"

namespace pemberlux::test {

using LabelPage = CPrintingSetupLB610_1;

struct LabelFamily {
    using Page = LabelPage;
    using Printer = sim::LabelPrinterSim;
    static constexpr const char* DEFAULT_MODEL = "LB-610";
    static constexpr auto& ACTION_BUTTONS = LB_ACTION_BUTTONS;
    static constexpr int SEND_SETTINGS = IDC_SEND_SETTINGS;
    static Page* PageOf(CPemberluxDlg& window) { return window.LabelSetupPage(); }
    static const char* UsbProduct(const std::string&) { return "5e10"; }
};

class LabelPageTest : public SettingsPageTest<LabelFamily> {
protected:
    LabelPage& Lp() const { return P(); }
    // Typing replaces what the field holds.
    void Type(int pos, const std::string& text) const {
        Edit(pos)->setFocus();
        Edit(pos)->selectAll();
        QTest::keyClicks(Edit(pos), QString::fromStdString(text));
    }
};

} // namespace pemberlux::test
