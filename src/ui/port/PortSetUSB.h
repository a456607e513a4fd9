// The USB interface dialog. USB printers are found by their ids, so there is
// nothing to choose here: the list shows the USB printers attached now, and
// follows them while the dialog is open; the buttons do nothing, and the
// dialog is closed from its caption.
#pragma once

#include "ui/toolkit/Window.h"

namespace pemberlux {

class CPortSetUSB final : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 152;
    enum : int {
        IDC_PORT = 1129,
        IDC_OK = 1050,
        IDC_CANCEL = 1051,
    };

    explicit CPortSetUSB(QWidget* parent = nullptr);

private:
    // Reads the USB printers into the list again.
    void Refresh();
};

} // namespace pemberlux
