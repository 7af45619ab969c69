#include "SimAudio.h"

#include <algorithm>

// Listener registration, changes made by other programs, and the notification thread that
// delivers property changes to the listeners.

namespace sim {

// ---- listeners and notifications ----

OSStatus SimAudioSystem::deviceAddPropertyListener(AudioDeviceID id, UInt32 channel, Boolean isInput,
                                                   AudioPropertyID property, AudioDevicePropertyListenerProc proc,
                                                   void *clientData)
{
    OSStatus status = noErr;
    {
        std::lock_guard lock(m_stateMutex);
        AudioCall call{AudioOp::DeviceAddPropertyListener, toUInt32(id), channel, isInput, property, 0, {}, noErr};
        status = begin(call);
        if (status == noErr && !findDevice(id))
            status = kAudioHardwareBadDeviceError;
        finish(std::move(call), status);
    }
    if (status == noErr)
        m_listeners.add({id, channel, isInput, property}, proc, clientData);
    return status;
}

OSStatus SimAudioSystem::deviceRemovePropertyListener(AudioDeviceID id, UInt32 channel, Boolean isInput,
                                                      AudioPropertyID property, AudioDevicePropertyListenerProc proc)
{
    OSStatus status = noErr;
    {
        std::lock_guard lock(m_stateMutex);
        AudioCall call{AudioOp::DeviceRemovePropertyListener, toUInt32(id), channel, isInput, property, 0, {}, noErr};
        status = begin(call);
        finish(std::move(call), status);
    }
    if (status != noErr)
        return status;
    // Waits for a delivery in progress on the notification thread.
    if (!m_listeners.remove({id, channel, isInput, property}, proc))
        return kAudioHardwareIllegalOperationError;
    return noErr;
}

std::size_t SimAudioSystem::listenerCount() const
{
    return m_listeners.size();
}

void SimAudioSystem::externalSetVolume(AudioDeviceID id, Boolean isInput, UInt32 channel, Float32 scalar)
{
    std::vector<Notification> changes;
    {
        std::lock_guard lock(m_stateMutex);
        Side *side = findSide(id, isInput);
        if (!side || channel >= kChannels)
            return;
        const Device &device = *findDevice(id);
        changes = volumeChanges(device, *side, isInput, channel, storedVolume(device, scalar));
    }
    queueNotifications(changes);
}

// Stores the level; the decibels are notified only when they moved too, as at the curve's
// floor two levels share one decibel value.
std::vector<SimAudioSystem::Notification> SimAudioSystem::volumeChanges(const Device &device, Side &side,
                                                                        Boolean isInput, UInt32 channel, Float32 stored)
{
    std::vector<Notification> changes;
    const Float32 old = side.volume[channel];
    if (stored == old)
        return changes;
    side.volume[channel] = stored;
    changes.push_back({device.id, channel, isInput, kAudioDevicePropertyVolumeScalar});
    if (device.decibels(stored) != device.decibels(old))
        changes.push_back({device.id, channel, isInput, kAudioDevicePropertyVolumeDecibels});
    return changes;
}

void SimAudioSystem::externalSetMute(AudioDeviceID id, Boolean isInput, UInt32 channel, UInt32 mute)
{
    bool changed = false;
    {
        std::lock_guard lock(m_stateMutex);
        Side *side = findSide(id, isInput);
        if (!side || channel != 0)
            return;
        const UInt32 value = mute ? 1 : 0;
        changed = value != side->mute;
        side->mute = value;
    }
    if (changed)
        queueNotification({id, channel, isInput, kAudioDevicePropertyMute});
}

void SimAudioSystem::notify(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property)
{
    queueNotification({device, channel, isInput, property});
}

// The thread sleeps only on an empty queue, so only the first change of a batch need wake it.
void SimAudioSystem::queueNotifications(std::span<const Notification> changes)
{
    if (changes.empty())
        return;
    bool wasEmpty = false;
    {
        std::lock_guard lock(m_queueMutex);
        wasEmpty = m_queue.empty();
        m_queue.insert(m_queue.end(), changes.begin(), changes.end());
        m_queued += changes.size();
    }
    if (wasEmpty)
        m_queueChanged.notify_all();
}

void SimAudioSystem::waitForNotifications()
{
    std::unique_lock lock(m_queueMutex);
    const std::uint64_t target = m_queued;
    m_queueChanged.wait(lock, [&] { return m_delivered >= target || m_stopping; });
}

// Takes the whole queue at once: each round costs one lock and one wake of the waiters,
// however many changes a burst of writes left.
void SimAudioSystem::notificationLoop()
{
    std::unique_lock lock(m_queueMutex);
    m_notifierId = std::this_thread::get_id();
    m_queueChanged.notify_all();
    std::deque<Notification> batch;
    for (;;) {
        m_queueChanged.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_stopping)
            return;
        batch.swap(m_queue);
        lock.unlock();
        for (const Notification &n : batch)
            m_listeners.dispatch(n);
        lock.lock();
        m_delivered += batch.size();
        batch.clear();
        m_queueChanged.notify_all();
    }
}

} // namespace sim
