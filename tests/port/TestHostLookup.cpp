// Host names looked up as a step of a job: answered, given up on at a stop or
// the bound while the resolver goes on, and numeric addresses never asked about.
#include "core/port/HostLookup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

namespace pemberlux::test {
namespace {

using namespace std::chrono_literals;

// A resolver that answers only when the test lets it, and says when it has.
struct HeldResolver {
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool released = false;
        bool asked = false;
        bool answered = false;
        std::string host;
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    HostResolver Resolver() const {
        return [state = state](const std::string& host) {
            std::unique_lock<std::mutex> lock(state->mutex);
            state->asked = true;
            state->host = host;
            state->changed.notify_all();
            state->changed.wait(lock, [&] { return state->released; });
            state->answered = true;
            state->changed.notify_all();
            return HostLookup{HostLookup::Found, {"127.0.0.1"}, {}};
        };
    }
    void Release() const {
        const std::lock_guard<std::mutex> lock(state->mutex);
        state->released = true;
        state->changed.notify_all();
    }
    bool Wait(bool State::*flag) const {
        std::unique_lock<std::mutex> lock(state->mutex);
        return state->changed.wait_for(lock, 10s, [&] { return (*state).*flag; });
    }
};

TEST(HostLookup, NumericAndReservedNamesAreAnsweredWithoutAsking) {
    const HostResolver never = [](const std::string& host) -> HostLookup {
        ADD_FAILURE() << "asked about " << host;
        return {};
    };
    const struct {
        const char* host;
        HostLookup::Status status;
    } cases[] = {
        {"127.0.0.1", HostLookup::Found},
        {"::1", HostLookup::Found},
        {"fe80::1", HostLookup::Found},
        {"printer.invalid", HostLookup::Unknown},
        {"PRINTER.INVALID.", HostLookup::Unknown},
        {"invalid", HostLookup::Unknown},
    };
    for (const auto& c : cases) {
        const HostLookup lookup = LookUpHost(c.host, {}, 10s, never);
        EXPECT_EQ(lookup.status, c.status) << c.host;
        if (c.status == HostLookup::Found) {
            EXPECT_EQ(lookup.addresses, std::vector<std::string>{c.host});
        } else {
            EXPECT_FALSE(lookup.reason.empty()) << c.host;
        }
    }
}

TEST(HostLookup, ANameGoesToTheResolver) {
    HeldResolver held;
    held.Release();
    const HostLookup lookup = LookUpHost("printer.example", {}, 10s, held.Resolver());
    EXPECT_EQ(lookup.status, HostLookup::Found);
    EXPECT_EQ(lookup.addresses, std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(held.state->host, "printer.example");
    // "invalidated" is not under "invalid".
    held.Release();
    EXPECT_EQ(LookUpHost("printer.invalidated", {}, 10s, held.Resolver()).status, HostLookup::Found);
}

// A stop ends the wait while the resolver still hangs; its answer, when it
// comes, goes nowhere.
TEST(HostLookup, AStopGivesUpOnAResolverThatHangs) {
    HeldResolver held;
    std::stop_source stop;
    auto lookup = std::async(std::launch::async,
                             [&] { return LookUpHost("printer.example", {stop.get_token()}, 60s, held.Resolver()); });
    ASSERT_TRUE(held.Wait(&HeldResolver::State::asked));
    stop.request_stop();
    ASSERT_EQ(lookup.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(lookup.get().status, HostLookup::Stopped);
    held.Release();
    EXPECT_TRUE(held.Wait(&HeldResolver::State::answered));
}

TEST(HostLookup, TheBoundAndTheJobsDeadlineEndTheWait) {
    for (const bool deadline : {false, true}) {
        HeldResolver held;
        JobLimits job;
        if (deadline) job.deadline = JobClock::now() + 100ms;
        const HostLookup lookup = LookUpHost("printer.example", job, deadline ? 60s : 100ms, held.Resolver());
        EXPECT_EQ(lookup.status, HostLookup::Expired) << deadline;
        held.Release();
        EXPECT_TRUE(held.Wait(&HeldResolver::State::answered));
    }
    // Stopped before it began: nobody is asked.
    std::stop_source stop;
    stop.request_stop();
    HeldResolver held;
    EXPECT_EQ(LookUpHost("printer.example", {stop.get_token()}, 10s, held.Resolver()).status, HostLookup::Stopped);
    EXPECT_FALSE(held.state->asked);
}

// The system's resolver, on a name the hosts file holds (no name server is asked).
TEST(HostLookup, TheSystemResolverReadsTheHostsFile) {
    std::ifstream hosts("/etc/hosts");
    std::string line;
    bool listed = false;
    while (std::getline(hosts, line)) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string address, name;
        words >> address;
        while (words >> name)
            listed = listed || (address == "127.0.0.1" && name == "localhost");
    }
    if (!listed) GTEST_SKIP() << "/etc/hosts does not give localhost 127.0.0.1";
    const HostLookup lookup = LookUpHost("localhost", {}, 10s);
    ASSERT_EQ(lookup.status, HostLookup::Found) << lookup.reason;
    EXPECT_NE(std::find(lookup.addresses.begin(), lookup.addresses.end(), "127.0.0.1"), lookup.addresses.end());
}

} // namespace
} // namespace pemberlux::test
