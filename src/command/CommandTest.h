// The command test page: typed text, hexadecimal bytes or files sent to the printer.
#pragma once

#include "platform/Window.h"

namespace pemberlux {

class CCommandTest final : public CPage {
    Q_OBJECT
public:
    static constexpr int IDD = 114;

    explicit CCommandTest(QWidget* parent = nullptr);
};

} // namespace pemberlux
