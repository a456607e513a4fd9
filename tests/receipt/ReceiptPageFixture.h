// The receipt settings page inside the program's window, against the simulated
// receipt printer on a real transport.
#pragma once

#include "../shell/SettingsPageFixture.h"
#include "ReceiptPrinterSim.h"
#include "ui/receipt/InternalSetupTR510.h"

namespace pemberlux::test {

using ReceiptPage = CInternalSetupTR510;

struct ReceiptFamily {
    using Page = ReceiptPage;
    using Printer = sim::ReceiptPrinterSim;
    static constexpr const char* DEFAULT_MODEL = "TR-510";
    // The three buttons every job of the page holds.
    static constexpr ButtonText ACTION_BUTTONS[] = {
        {"Get Printer Settings", "获取打印机设置"},
        {"Send Settings", "确认修改"},
        {"Restore All Settings", "恢复出厂设置"},
    };
    static constexpr int SEND_SETTINGS = IDC_RC_SEND_SETTINGS;
    static Page* PageOf(CPemberluxDlg& window) { return window.ReceiptSetupPage(); }
    static const char* UsbProduct(const std::string& model) { return model == "TR-510" ? "41a2" : "41a3"; }
};

class ReceiptPageTest : public SettingsPageTest<ReceiptFamily> {
protected:
    ReceiptPage& Rp() const { return P(); }
    std::vector<int> Selections() const {
        std::vector<int> out;
        for (const SettingEntry& entry : RECEIPT_SETTINGS)
            if (entry.IsList()) out.push_back(List(entry.pos)->currentIndex());
        return out;
    }
    // Send Settings; the frame the printer received, as hex text.
    std::string SendAndReceive() { return HexText(SettingsPageTest::SendAndReceive()); }
};

} // namespace pemberlux::test
