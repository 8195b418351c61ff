#include "tables/event.h"

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

// What the first of two subscribers does on its first call, and how many times each handler
// (and a third one the first may subscribe) has run after the event fired twice.
struct DuringCallCase
{
    const char *name;
    std::function<void(Event<> &, EventConnection &own, EventConnection &second,
                       std::optional<EventConnection> &third, int &thirdCalls)>
        firstCall;
    int first, second, third;
};

class SubscriptionDuringACall : public ::testing::TestWithParam<DuringCallCase>
{
};

TEST_P(SubscriptionDuringACall, TakesEffectWhereTheHandlerIsCalled)
{
    const DuringCallCase &c = GetParam();
    Event<> event;
    int first = 0;
    int second = 0;
    int third = 0;
    EventConnection own;
    EventConnection other;
    std::optional<EventConnection> added;
    own = event.subscribe([&] {
        if (++first == 1)
            c.firstCall(event, own, other, added, third);
    });
    other = event.subscribe([&second] { ++second; });
    event();
    event();
    EXPECT_EQ(first, c.first);
    EXPECT_EQ(second, c.second);
    EXPECT_EQ(third, c.third);
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, SubscriptionDuringACall,
    ::testing::Values(
        DuringCallCase{"EndsItsOwn",
                       [](Event<> &, EventConnection &own, EventConnection &,
                          std::optional<EventConnection> &, int &) { own.reset(); },
                       1, 2, 0},
        // The later handler is not called in the running call either: its subscriber may
        // be gone.
        DuringCallCase{"EndsALaterOne",
                       [](Event<> &, EventConnection &, EventConnection &second,
                          std::optional<EventConnection> &, int &) { second.reset(); },
                       2, 0, 0},
        DuringCallCase{"SubscribesAnotherThatWaitsForTheNextCall",
                       [](Event<> &event, EventConnection &, EventConnection &,
                          std::optional<EventConnection> &third, int &calls) {
                           third.emplace(event.subscribe([&calls] { ++calls; }));
                       },
                       2, 2, 1}),
    testcase::CaseName);

TEST(Subscriptions, AHandlerMayDestroyItsEvent)
{
    auto event = std::make_unique<Event<>>();
    int later = 0;
    const EventConnection first = event->subscribe([&event] { event.reset(); });
    const EventConnection second = event->subscribe([&later] { ++later; });
    (*event)();
    EXPECT_EQ(event, nullptr);
    EXPECT_EQ(later, 1); // its subscription has not ended
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
