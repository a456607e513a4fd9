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
    // The eight buttons every job of the page holds.
    static constexpr ButtonText ACTION_BUTTONS[] = {
        {"Get Serial Number", "获取打印机号"},      {"Get FW Version", "获取打印机版本号"},
        {"Print Statistics", "打印统计"},           {"Calibrate label", "校验标签"},
        {"Get Printer Settings", "获取打印机设置"}, {"Print Self-test", "打印自检页"},
        {"Reset All Settings", "恢复出厂设置"},     {"Send Settings", "确认修改"},
    };
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
