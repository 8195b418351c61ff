#pragma once

#include <functional>
#include <map>
#include <memory>
#include <utility>

namespace kelvora {

// A subscription to an Event that ends when this object goes or is reset: its handler is not
// called after that. Move-only. It may outlive its event, which then has nothing to end.
class EventConnection
{
public:
    EventConnection() = default;
    explicit EventConnection(std::function<void()> end) : m_end(std::move(end)) {}
    EventConnection(EventConnection &&other) noexcept : m_end(std::exchange(other.m_end, {})) {}
    EventConnection &operator=(EventConnection &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_end = std::exchange(other.m_end, {});
        }
        return *this;
    }
    EventConnection(const EventConnection &) = delete;
    EventConnection &operator=(const EventConnection &) = delete;
    ~EventConnection() { reset(); }

    void reset()
    {
        if (m_end)
            std::exchange(m_end, {})();
    }

private:
    std::function<void()> m_end;
};

// A list of handlers called in the order they were connected.
template <typename... Args>
class Event
{
public:
    using Handler = std::function<void(Args...)>;

    // A handler for the whole life of the event: the reactions of the event's owner.
    void connect(Handler handler) { m_handlers->add(std::move(handler)); }
    // A handler until the returned connection goes: a display or any other subscriber that
    // may go before the event does.
    [[nodiscard]] EventConnection subscribe(Handler handler)
    {
        const int id = m_handlers->add(std::move(handler));
        return EventConnection([handlers = std::weak_ptr<Handlers>(m_handlers), id] {
            if (const auto alive = handlers.lock())
                alive->byId.erase(id);
        });
    }
    // Calls the handlers connected before the call began, each unless its subscription has
    // ended before its turn. A handler may end any subscription, its own included, subscribe
    // others (called from the next call on) and destroy the event.
    void operator()(Args... args) const
    {
        const std::shared_ptr<Handlers> handlers = m_handlers; // outlives a destroyed event
        const int last = handlers->lastId;
        auto next = handlers->byId.begin();
        while (next != handlers->byId.end() && next->first <= last) {
            const int id = next->first;
            const Handler handler = next->second; // it may end its own subscription
            handler(args...);
            next = handlers->byId.upper_bound(id);
        }
    }

private:
    struct Handlers
    {
        std::map<int, Handler> byId;
        int lastId = 0;

        int add(Handler handler)
        {
            byId.emplace(++lastId, std::move(handler));
            return lastId;
        }
    };
    std::shared_ptr<Handlers> m_handlers = std::make_shared<Handlers>();
};

} // namespace kelvora
