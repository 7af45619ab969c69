#include "PropertyListenerSet.h"
#include "CountingListener.h"

#include <gtest/gtest.h>

using platform::PropertyChange;
using platform::PropertyListenerSet;

namespace {

PropertyListenerSet *gSet = nullptr;
const PropertyChange kVolume1In{AudioDeviceID{1}, 1, 1, kAudioDevicePropertyVolumeScalar};

// Removes itself and every counting listener of the same change, as a listener may while it runs.
OSStatus removingListener(AudioDeviceID, UInt32, Boolean, AudioPropertyID, void *data)
{
    ++static_cast<Counter *>(data)->calls;
    gSet->remove(kVolume1In, removingListener);
    gSet->remove(kVolume1In, countingListener);
    return noErr;
}

} // namespace

// A listener may remove itself, and others of the same round, while it runs: without a
// deadlock, and a listener removed earlier in the round is not called after.
TEST(PropertyListeners, AListenerRemovedEarlierInTheRoundIsNotCalled)
{
    PropertyListenerSet set;
    gSet = &set;
    Counter remover, removed;
    set.add(kVolume1In, removingListener, &remover);
    set.add(kVolume1In, countingListener, &removed);
    set.dispatch(kVolume1In);
    set.dispatch(kVolume1In);
    EXPECT_EQ(remover.calls, 1);
    EXPECT_EQ(removed.calls, 0);
    EXPECT_EQ(set.size(), 0u);
    gSet = nullptr;
}
