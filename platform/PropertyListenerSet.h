#pragma once

// The registered property listeners of an audio backend and their dispatch. A removal waits
// for a dispatch in progress, so that once it returns no further call for that registration
// is made; a listener may add or remove registrations, its own included, while it runs.

#include "CoreAudioTypes.h"

#include <mutex>
#include <vector>

namespace platform {

struct PropertyChange {
    AudioDeviceID device{};
    UInt32 channel = 0;
    Boolean isInput = 0;
    AudioPropertyID property{};
    friend bool operator==(const PropertyChange &, const PropertyChange &) = default;
};

class PropertyListenerSet {
public:
    void add(const PropertyChange &what, AudioDevicePropertyListenerProc proc, void *clientData);
    // False when no such registration exists.
    bool remove(const PropertyChange &what, AudioDevicePropertyListenerProc proc);
    // Calls every listener registered for the change, on the calling thread.
    void dispatch(const PropertyChange &change);
    std::size_t size() const;

private:
    struct Listener {
        PropertyChange what;
        AudioDevicePropertyListenerProc proc = nullptr;
        void *clientData = nullptr;
    };
    // Recursive: a listener that removes a registration runs with the lock already held.
    mutable std::recursive_mutex m_mutex;
    std::vector<Listener> m_listeners;
};

} // namespace platform
