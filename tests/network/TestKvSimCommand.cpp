// The pemberlux-sim command's key-value printers, found by a search as the
// program would find them.
#include "KvTestSupport.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <set>
#include <string>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;

#ifdef PEMBERLUX_SIM_BINARY
TEST(KvSimCommand, KvPrintersOptionStartsPrintersTheSearchFinds) {
    test::TempDir dir;
    const std::uint16_t port = test::FreeUdpPort();
    const std::string ready = (dir / "sim.ready").string();
    const std::string portText = std::to_string(port);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::execl(PEMBERLUX_SIM_BINARY, PEMBERLUX_SIM_BINARY, "--kv-printers", "3", "--kv-port", portText.c_str(),
                "--ready-file", ready.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!std::filesystem::exists(ready) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    const std::string settings = dir.Read("sim.ready");

    std::set<std::string> serials;
    {
        test::KvOwner owner(port);
        if (owner.session.StartSearch() == KvStart::Started) {
            owner.TickUntil([&] { return owner.seen.rows.size() == 3; }, 3s);
        }
        for (const FoundPrinter& row : owner.seen.rows)
            serials.insert(row.serialNumber);
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);

    EXPECT_NE(settings.find("PEMBERLUX_SIM_KV_PORT=" + portText + "\n"), std::string::npos);
    EXPECT_NE(settings.find("PEMBERLUX_SIM_KV_PRINTERS=3\n"), std::string::npos);
    EXPECT_EQ(serials, (std::set<std::string>{"TVL610000001", "TVL710000002", "TVL610000003"}));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
#endif

} // namespace
} // namespace pemberlux
