#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // Before anything else: every broadcast of the tests stays on loopback.
    setenv("PEMBERLUX_BROADCAST_ADDR", "127.255.255.255", 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
