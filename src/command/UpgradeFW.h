// The firmware and character generator upgrade page.
#pragma once

#include "platform/Window.h"

namespace pemberlux {

class CUpgradeFW final : public CPage {
    Q_OBJECT
public:
    static constexpr int IDD = 108;
    enum : int {
        IDC_UPDATE = 1045,
        IDC_DOWNLOAD_MODE = 1227,
    };

    explicit CUpgradeFW(QWidget* parent = nullptr);
};

} // namespace pemberlux
