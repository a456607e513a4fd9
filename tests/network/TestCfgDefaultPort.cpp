// The protocol's own port, as the program uses it: shared by the tool and the printers.
#include "CfgTestSupport.h"
#include "KvPrinterSim.h"

#include <gtest/gtest.h>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;

TEST(CfgDefaultPort, SearchFindsPrintersOnPort22094) {
    sim::KvPrinterFleet fleet(2);
    ASSERT_TRUE(fleet.Listening());
    EXPECT_EQ(fleet[0].Port(), 22094);
    test::CfgOwner owner(CFG_UDP_PORT);
    ASSERT_TRUE(owner.opened);
    EXPECT_EQ(CfgPort(), 22094);
    ASSERT_EQ(owner.session.StartSearch(), CfgStart::Started);
    EXPECT_TRUE(owner.TickUntil([&] { return owner.seen.rows.size() == 2; }, 3s));
}

} // namespace
} // namespace pemberlux
