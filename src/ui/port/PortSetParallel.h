// The parallel interface dialog: the port. It edits ParallelDialogSettings and
// reports OK to its receiver with WM_PARALLEL_SET.
#pragma once

#include "ui/toolkit/Window.h"

namespace pemberlux {

class CPortSetParallel final : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 110;
    enum : int {
        IDC_PORT = 1054,
        IDC_OK = 1050,
        IDC_CANCEL = 1051,
    };

    CPortSetParallel(QObject* receiver, QWidget* parent = nullptr);

    void OnOK();

private:
    QObject* receiver_;
};

} // namespace pemberlux
