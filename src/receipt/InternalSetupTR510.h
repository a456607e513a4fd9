// The settings page of the receipt printers.
#pragma once

#include "platform/Window.h"

namespace pemberlux {

class CInternalSetupTR510 final : public CPage {
    Q_OBJECT
public:
    static constexpr int IDD = 112;

    explicit CInternalSetupTR510(QWidget* parent = nullptr);
};

} // namespace pemberlux
