#pragma once

// A property listener that counts its calls and remembers the last change, for tests of
// listener registration and dispatch.

#include "PropertyListenerSet.h"

#include <atomic>

struct Counter {
    std::atomic<int> calls{0};
    platform::PropertyChange last;
};

inline OSStatus countingListener(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                 void *data)
{
    auto *counter = static_cast<Counter *>(data);
    counter->last = {device, channel, isInput, property};
    ++counter->calls;
    return noErr;
}
