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
    static constexpr auto& ACTION_BUTTONS = RC_ACTION_BUTTONS;
    static constexpr int SEND_SETTINGS = IDC_RC_SEND_SETTINGS;
    static Page* PageOf(CPemberluxDlg& window) { return window.ReceiptSetupPage(); }
    static const char* UsbProduct(const std::string& model) { return model == "TR-510" ? "41a2" : "41a3"; }
};

class ReceiptPageTest : public SettingsPageTest<ReceiptFamily> {
protected:
    ReceiptPage& Rp() const { return P(); }
    std::vector<int> Selections() const {
        std::vector<int> out;
        for (const ReceiptSettingInfo& info : RECEIPT_SETTINGS)
            if (info.IsList()) out.push_back(List(info.pos)->currentIndex());
        return out;
    }
    // Send Settings; the frame the printer received, as hex text.
    std::string SendAndReceive() { return HexText(SettingsPageTest::SendAndReceive()); }
};

} // namespace pemberlux::test
