// main() of the widget tests: a QApplication (offscreen unless told otherwise)
// with the program's platform behaviour installed.
#include "ui/toolkit/Platform.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // Before anything else: every broadcast of the tests stays on loopback.
    setenv("PEMBERLUX_BROADCAST_ADDR", "127.255.255.255", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    pemberlux::InitPlatform();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
