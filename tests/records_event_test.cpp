#include "records/event.h"

#include "casename.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace kelvora {
namespace {

// What a subscriber does with its connection between two firings of the event, and how many
// times its handler has run after both.
struct ConnectionCase
{
    const char *name;
    std::function<void(std::optional<EventConnection> &)> between;
    int calls;
};

class Subscription : public ::testing::TestWithParam<ConnectionCase>
{
};

TEST_P(Subscription, EndsExactlyWhenItsConnectionDoes)
{
    const ConnectionCase &c = GetParam();
    Event<int> event;
    int calls = 0;
    std::optional<EventConnection> connection(event.subscribe([&calls](int) { ++calls; }));
    event(1);
    c.between(connection);
    event(2);
    EXPECT_EQ(calls, c.calls);
}

INSTANTIATE_TEST_SUITE_P(
    Lifetimes, Subscription,
    ::testing::Values(
        ConnectionCase{"Kept", [](std::optional<EventConnection> &) {}, 2},
        ConnectionCase{"Destroyed", [](std::optional<EventConnection> &c) { c.reset(); }, 1},
        ConnectionCase{"Reset", [](std::optional<EventConnection> &c) { c->reset(); }, 1},
        // A move hands the one subscription on: no second handler, and it still ends once.
        ConnectionCase{"MovedOn",
                       [](std::optional<EventConnection> &c) {
                           EventConnection moved = std::move(*c);
                           c.emplace(std::move(moved));
                       },
                       2},
        ConnectionCase{"MovedAwayAndDropped",
                       [](std::optional<EventConnection> &c) {
                           const EventConnection dropped = std::move(*c);
                       },
                       1},
        ConnectionCase{"OverwrittenByAnEmptyOne",
                       [](std::optional<EventConnection> &c) { *c = EventConnection(); }, 1}),
    testcase::CaseName);

TEST(Subscriptions, AHandlerMayEndItsOwnSubscriptionWhileTheEventRuns)
{
    Event<> event;
    int first = 0;
    int second = 0;
    EventConnection own;
    own = event.subscribe([&] {
        ++first;
        own.reset();
    });
    const EventConnection other = event.subscribe([&second] { ++second; });
    event();
    event();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
}

TEST(Subscriptions, MayOutliveItsEvent)
{
    auto event = std::make_unique<Event<>>();
    int calls = 0;
    EventConnection connection = event->subscribe([&calls] { ++calls; });
    (*event)();
    event.reset();
    connection.reset(); // nothing left to end, and nothing touched
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace kelvora
