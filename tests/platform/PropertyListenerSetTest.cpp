#include "PropertyListenerSet.h"
#include "CountingListener.h"

#include <atomic>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using platform::PropertyChange;
using platform::PropertyListenerSet;

namespace {

// Holds the notification thread inside the listener until the test lets it go.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool removing = false;
    bool open = false;
    bool left = false;
    int calls = 0;
};

OSStatus gatedListener(AudioDeviceID, UInt32, Boolean, AudioPropertyID, void *data)
{
    auto *gate = static_cast<Gate *>(data);
    std::unique_lock lock(gate->mutex);
    ++gate->calls;
    gate->entered = true;
    gate->changed.notify_all();
    gate->changed.wait(lock, [&] { return gate->open; });
    gate->left = true;
    return noErr;
}

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

TEST(PropertyListeners, OnlyTheExactRegistrationIsCalledAndOnlyItsOwnProcedureRemovesIt)
{
    PropertyListenerSet set;
    Counter counter;
    set.add(kVolume1In, countingListener, &counter);
    set.dispatch({AudioDeviceID{1}, 1, 0, kAudioDevicePropertyVolumeScalar}); // other side
    set.dispatch({AudioDeviceID{1}, 2, 1, kAudioDevicePropertyVolumeScalar}); // other channel
    set.dispatch({AudioDeviceID{2}, 1, 1, kAudioDevicePropertyVolumeScalar}); // other device
    set.dispatch({AudioDeviceID{1}, 1, 1, kAudioDevicePropertyMute});         // other property
    EXPECT_EQ(counter.calls, 0);
    set.dispatch(kVolume1In);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(counter.last, kVolume1In);

    EXPECT_FALSE(set.remove(kVolume1In, removingListener));
    EXPECT_FALSE(set.remove({AudioDeviceID{1}, 2, 1, kAudioDevicePropertyVolumeScalar}, countingListener));
    EXPECT_TRUE(set.remove(kVolume1In, countingListener));
    EXPECT_FALSE(set.remove(kVolume1In, countingListener));
    set.dispatch(kVolume1In);
    EXPECT_EQ(counter.calls, 1);
}

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

TEST(PropertyListeners, RemovalFromAnotherThreadReturnsOnlyAfterTheCallInProgress)
{
    PropertyListenerSet set;
    Gate gate;
    set.add(kVolume1In, gatedListener, &gate);
    std::thread notifier([&] { set.dispatch(kVolume1In); });
    std::unique_lock lock(gate.mutex);
    gate.changed.wait(lock, [&] { return gate.entered; });
    auto removal = std::async(std::launch::async, [&] {
        {
            std::lock_guard announce(gate.mutex);
            gate.removing = true;
        }
        gate.changed.notify_all();
        const bool removed = set.remove(kVolume1In, gatedListener);
        std::lock_guard check(gate.mutex);
        return removed && gate.left;
    });
    // The listener is let go only once the removal is under way.
    gate.changed.wait(lock, [&] { return gate.removing; });
    gate.open = true;
    lock.unlock();
    gate.changed.notify_all();
    EXPECT_TRUE(removal.get()) << "the removal returned while the listener still ran";
    notifier.join();
    set.dispatch(kVolume1In);
    EXPECT_EQ(gate.calls, 1);
}
