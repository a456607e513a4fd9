// The settings page of the label printers.
#pragma once

#include "platform/Window.h"

namespace pemberlux {

class CPrintingSetupLB610_1 final : public CPage {
    Q_OBJECT
public:
    static constexpr int IDD = 111;

    explicit CPrintingSetupLB610_1(QWidget* parent = nullptr);
};

} // namespace pemberlux
