#include "NotificationCenter.h"

#include <algorithm>

namespace platform {

NotificationCenter &NotificationCenter::workspaceCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(const void *observer, const QString &name, const void *object, Handler handler)
{
    std::function<void(bool)> observed;
    {
        std::lock_guard lock(m_mutex);
        if (countFor(name) == 0)
            for (const auto &[watched, h] : m_observedHandlers)
                if (watched == name)
                    observed = h;
        m_observations.push_back({observer, name, object, std::move(handler)});
    }
    // Without the lock, as for posting: the handler may observe or post itself.
    if (observed)
        observed(true);
}

void NotificationCenter::removeObserver(const void *observer, const QString &name, const void *object)
{
    std::function<void(bool)> observed;
    {
        std::lock_guard lock(m_mutex);
        const std::size_t removed = std::erase_if(m_observations, [&](const Observation &o) {
            return o.observer == observer && o.name == name && o.object == object;
        });
        if (removed > 0 && countFor(name) == 0)
            for (const auto &[watched, h] : m_observedHandlers)
                if (watched == name)
                    observed = h;
    }
    if (observed)
        observed(false);
}

void NotificationCenter::setObservedHandler(const QString &name, std::function<void(bool observed)> handler)
{
    bool observed = false;
    {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_observedHandlers, [&](const auto &entry) { return entry.first == name; });
        if (!handler)
            return;
        m_observedHandlers.emplace_back(name, handler);
        observed = countFor(name) > 0;
    }
    if (observed)
        handler(true);
}

std::size_t NotificationCenter::countFor(const QString &name) const
{
    return static_cast<std::size_t>(std::count_if(m_observations.begin(), m_observations.end(),
                                                  [&](const Observation &o) { return o.name == name; }));
}

void NotificationCenter::postNotification(const QString &name, const void *object)
{
    std::vector<Handler> handlers;
    {
        std::lock_guard lock(m_mutex);
        for (const Observation &o : m_observations)
            if (o.name == name && (o.object == nullptr || o.object == object))
                handlers.push_back(o.handler);
    }
    // Called without the lock: a handler may add or remove observers.
    for (const Handler &handler : handlers)
        handler(name);
}

std::size_t NotificationCenter::observerCount(const void *observer) const
{
    std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(std::count_if(m_observations.begin(), m_observations.end(),
                                                  [&](const Observation &o) { return o.observer == observer; }));
}

} // namespace platform
