// The program's window against printers in chaos mode (WindowSoak.h): every
// action ends (a job left waiting on the GUI thread would not), gives its
// controls back, tells a success only with the whole frame or transfer at the
// printer, and leaves no device lock and no thread. How long the GUI thread was
// busy is a figure of bench_ui_soak, not a test's bound.
// And the long run, short: many exchanges through the window and many fleet
// inventories in one process bring the descriptors and threads back.
// PEMBERLUX_CHAOS_SEED replays a soak, PEMBERLUX_CHAOS_ROUNDS sets its length.
#include "WindowSoak.h"

#include <gtest/gtest.h>

#include <iostream>

namespace pemberlux::test::soak {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t kRounds = 20; // the sanitizers slow every round down
#else
constexpr std::size_t kRounds = 60; // about a minute
#endif

TEST(WindowSoak, EveryActionEndsCleanAgainstAPrinterThatMisbehaves) {
    const std::uint64_t seed = chaos::SeedFromEnv(20261208);
    const char* given = std::getenv("PEMBERLUX_CHAOS_ROUNDS");
    const std::size_t rounds = given && *given ? std::strtoul(given, nullptr, 10) : kRounds;
    WindowSoak soak(seed, 100ms);
    for (std::size_t n = 0; n < rounds; ++n)
        soak.Run(n);
    soak.Close();
    const SoakTally& t = soak.tally;
    std::cout << "seed " << seed << ": " << t.Report() << "GUI thread: " << soak.probe.Late() << " of "
              << soak.probe.Ticks() << " ticks later than 100 ms, the worst " << soak.probe.Worst().count() << " ms in "
              << soak.probe.WorstWhere() << "\n";
    std::string problems;
    for (const std::string& p : t.problems)
        problems += p + "\n";
    EXPECT_TRUE(t.problems.empty()) << "seed " << seed << " (PEMBERLUX_CHAOS_SEED replays it)\n" << problems;
    // Both kinds of honest ending came, or the soak proved little.
    EXPECT_GT(t.successes, 0u);
    EXPECT_GT(t.failuresTold, 0u);
    EXPECT_EQ(t.rounds, rounds);
}

TEST(WindowLongRun, DescriptorsAndThreadsComeBackAfterManyExchangesAndInventories) {
    {
        Program program(Screen::Label);
        ASSERT_EQ(WindowExchanges(program, 12), 0u);
        const Figures baseline = BackTo(Figures::Now());
        EXPECT_EQ(WindowExchanges(program, 200), 0u);
        const Figures after = BackTo(baseline);
        EXPECT_LE(after.descriptors, baseline.descriptors)
            << after.Text() << " after, " << baseline.Text() << " before";
        EXPECT_LE(after.threads, baseline.threads) << after.Text() << " after, " << baseline.Text() << " before";
    }

    sim::SimFleet fleet(FleetOf(25));
    ASSERT_EQ(FleetInventory(fleet), 0u);
    const Figures baseline = BackTo(Figures::Now());
    for (int pass = 0; pass < 8; ++pass)
        EXPECT_EQ(FleetInventory(fleet), 0u) << "pass " << pass;
    const Figures after = BackTo(baseline);
    EXPECT_LE(after.descriptors, baseline.descriptors) << after.Text() << " after, " << baseline.Text() << " before";
    EXPECT_LE(after.threads, baseline.threads) << after.Text() << " after, " << baseline.Text() << " before";
}

} // namespace
} // namespace pemberlux::test::soak
