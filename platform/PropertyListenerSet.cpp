#include "PropertyListenerSet.h"

#include <algorithm>

namespace platform {

void PropertyListenerSet::add(const PropertyChange &what, AudioDevicePropertyListenerProc proc, void *clientData)
{
    std::lock_guard lock(m_mutex);
    m_listeners.push_back({what, proc, clientData});
}

bool PropertyListenerSet::remove(const PropertyChange &what, AudioDevicePropertyListenerProc proc)
{
    // Taking the lock waits for a dispatch in progress on the notification thread.
    std::lock_guard lock(m_mutex);
    const auto it = std::find_if(m_listeners.begin(), m_listeners.end(),
                                 [&](const Listener &l) { return l.what == what && l.proc == proc; });
    if (it == m_listeners.end())
        return false;
    m_listeners.erase(it);
    return true;
}

void PropertyListenerSet::dispatch(const PropertyChange &change)
{
    std::lock_guard lock(m_mutex);
    std::vector<Listener> targets;
    std::copy_if(m_listeners.begin(), m_listeners.end(), std::back_inserter(targets),
                 [&](const Listener &l) { return l.what == change; });
    for (const Listener &target : targets) {
        // An earlier listener of this round may have removed this one.
        const bool stillRegistered = std::any_of(m_listeners.begin(), m_listeners.end(), [&](const Listener &l) {
            return l.what == change && l.proc == target.proc && l.clientData == target.clientData;
        });
        if (stillRegistered)
            target.proc(change.device, change.channel, change.isInput, change.property, target.clientData);
    }
}

std::size_t PropertyListenerSet::size() const
{
    std::lock_guard lock(m_mutex);
    return m_listeners.size();
}

} // namespace platform
