// The jobs against printers in chaos mode: a seeded campaign (see
// ChaosCampaign.h) whose every round must end with the truth: done only with
// the whole frame or transfer at the printer, values only as the wire gave
// them, nothing left behind. PEMBERLUX_CHAOS_SEED replays a campaign,
// PEMBERLUX_CHAOS_ROUNDS sets its length.
#include "ChaosCampaign.h"

#include <gtest/gtest.h>

#include <iostream>

namespace pemberlux::test::chaos {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t kRounds = 50; // the sanitizers slow every round down
#else
constexpr std::size_t kRounds = 200; // about a minute
#endif

TEST(Chaos, EveryJobEndsWithTheTruthAgainstAPrinterThatMisbehaves) {
    const std::uint64_t seed = SeedFromEnv(20261208);
    const char* given = std::getenv("PEMBERLUX_CHAOS_ROUNDS");
    const std::size_t rounds = given && *given ? std::strtoul(given, nullptr, 10) : kRounds;
    Campaign campaign(seed);
    const std::vector<Round> all = Rounds();
    for (std::size_t n = 0; n < rounds; ++n)
        campaign.Run(n, all[n % all.size()]);
    const Tally& t = campaign.tally;
    std::cout << "seed " << seed << ": " << t.Report();
    std::string problems;
    for (const std::string& p : t.problems)
        problems += p + "\n";
    EXPECT_EQ(t.Faults(), 0u) << "seed " << seed << " (PEMBERLUX_CHAOS_SEED replays it)\n" << problems;
    // The campaign saw both kinds of honest ending, or it proved little.
    EXPECT_GT(t.outcomes[static_cast<std::size_t>(Outcome::Success)], 0u);
    EXPECT_GT(t.outcomes[static_cast<std::size_t>(Outcome::HonestFailure)], 0u);
}

} // namespace
} // namespace pemberlux::test::chaos
