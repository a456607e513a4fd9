// The About box of the main window.
#pragma once

#include "ui/toolkit/Window.h"

namespace pemberlux {

class CAboutDlg final : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 100;
    enum : int { IDC_OK = 1 };

    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace pemberlux
