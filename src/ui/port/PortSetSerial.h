// The serial interface dialog: port, baud rate, parity, data bits, stop bits
// and flow control. It edits SerialDialogSettings and reports OK to its
// receiver with WM_SERIAL_SET.
#pragma once

#include "ui/toolkit/Window.h"

namespace pemberlux {

class CPortSetSerial final : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 109;
    enum : int {
        IDC_PORT = 1053,
        IDC_BAUD = 1054,
        IDC_PARITY = 1055,
        IDC_DATA_BITS = 1056,
        IDC_STOP_BITS = 1057,
        IDC_FLOW = 1058,
        IDC_OK = 1085,
        IDC_CANCEL = 1086,
    };

    CPortSetSerial(QObject* receiver, QWidget* parent = nullptr);

    void OnOK();

private:
    QObject* receiver_;
};

} // namespace pemberlux
