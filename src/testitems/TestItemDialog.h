// The test items page of the receipt printers.
#pragma once

#include "platform/Window.h"

namespace pemberlux {

class CTestItemDialog final : public CPage {
    Q_OBJECT
public:
    static constexpr int IDD = 216;
    enum : int {
        IDC_CUT_AFTER_PRINT = 1181,
    };

    explicit CTestItemDialog(QWidget* parent = nullptr);
};

} // namespace pemberlux
