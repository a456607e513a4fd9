// The protocol's own port, as the program uses it: shared by the tool and the printers.
#include "KvPrinterSim.h"
#include "KvTestSupport.h"

#include <gtest/gtest.h>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;

TEST(KvDefaultPort, SearchFindsPrintersOnPort22094) {
    sim::KvPrinterFleet fleet(2);
    ASSERT_TRUE(fleet.Listening());
    EXPECT_EQ(fleet[0].Port(), 22094);
    test::KvOwner owner(KV_UDP_PORT);
    ASSERT_TRUE(owner.opened);
    EXPECT_EQ(owner.session.Port(), 22094);
    ASSERT_EQ(owner.session.StartSearch(), KvStart::Started);
    EXPECT_TRUE(owner.TickUntil([&] { return owner.seen.rows.size() == 2; }, 3s));
}

} // namespace
} // namespace pemberlux
