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
    std::lock_guard lock(m_mutex);
    m_observations.push_back({observer, name, object, std::move(handler)});
}

void NotificationCenter::removeObserver(const void *observer, const QString &name, const void *object)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_observations, [&](const Observation &o) {
        return o.observer == observer && o.name == name && o.object == object;
    });
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
    return static_cast<std::size_t>(
        std::count_if(m_observations.begin(), m_observations.end(), [&](const Observation &o) { return o.observer == observer; }));
}

} // namespace platform
