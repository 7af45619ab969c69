#pragma once

// The simulated Zorvex as the audio system shows it: one or more audio devices with an output
// and an input side, per-channel volume held in the device's own steps, a decibel curve the
// device owns, master mutes, physical formats, and property notifications delivered on a
// notification thread of the simulator's own. Every call the panel makes is journaled with its
// arguments, and any call can be made to fail.

#include "CoreAudio.h"
#include "PropertyBuffers.h"
#include "PropertyListenerSet.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

namespace sim {

enum class AudioOp {
    HardwareGetPropertyInfo,
    HardwareGetProperty,
    DeviceGetPropertyInfo,
    DeviceGetProperty,
    DeviceSetProperty,
    StreamGetProperty,
    StreamSetProperty,
    DeviceAddPropertyListener,
    DeviceRemovePropertyListener,
};

const char *toString(AudioOp op);

// One call as the panel made it. `object` is the device or stream id (0 for the hardware),
// `size` the bytes offered (reads) or passed (writes), `data` the bytes returned or written.
struct AudioCall {
    AudioOp op{};
    UInt32 object = 0;
    UInt32 channel = 0;
    Boolean isInput = 0;
    AudioPropertyID property{};
    UInt32 size = 0;
    std::vector<std::byte> data;
    OSStatus status = noErr;

    Float32 floatValue() const;
    UInt32 uintValue() const;
    AudioStreamBasicDescription formatValue() const;
};

struct SideConfig {
    // Direction reported by each stream of the side; empty means the side has no streams.
    // The default is one stream whose direction matches the side.
    std::optional<std::vector<UInt32>> streamDirections;
    std::vector<AudioStreamBasicDescription> physicalFormats;
    // Index into physicalFormats of the format the side starts with.
    std::size_t initialFormat = 0;
};

struct DeviceConfig {
    // nullopt: reading the name fails.
    std::optional<std::string> name = std::string("Zorvex");
    bool hasOutput = true;
    bool hasInput = true;
    SideConfig output;
    SideConfig input;
    // Volume steps across 0..1; 0 stores every value exactly.
    int volumeSteps = 127;
    // Decibels for a stored scalar; must be monotonic. Empty: the device's own curve.
    std::function<Float32(Float32)> decibels;

    static DeviceConfig zorvex();
    static std::vector<AudioStreamBasicDescription> standardFormats();
};

Float32 defaultDecibelCurve(Float32 scalar);
// The scalar whose decibels on a rising curve lie nearest the given ones, clamped to 0..1.
Float32 scalarForDecibels(const std::function<Float32(Float32)> &curve, Float32 decibels);

class SimAudioSystem final : public AudioHardwareBackend {
public:
    SimAudioSystem();
    ~SimAudioSystem() override;
    SimAudioSystem(const SimAudioSystem &) = delete;
    SimAudioSystem &operator=(const SimAudioSystem &) = delete;

    // Both announce the change of the device list, as the system's audio does.
    AudioDeviceID addDevice(DeviceConfig config = DeviceConfig::zorvex());
    void removeDevice(AudioDeviceID device);

    // What another program, or the device itself, does; not journaled.
    void externalSetVolume(AudioDeviceID device, Boolean isInput, UInt32 channel, Float32 scalar);
    void externalSetMute(AudioDeviceID device, Boolean isInput, UInt32 channel, UInt32 mute);
    void notify(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property);
    // Blocks until every notification queued so far has been delivered.
    void waitForNotifications();

    // Device state, read without journaling.
    Float32 volume(AudioDeviceID device, Boolean isInput, UInt32 channel) const;
    Float32 decibels(AudioDeviceID device, Boolean isInput, UInt32 channel) const;
    UInt32 mute(AudioDeviceID device, Boolean isInput, UInt32 channel) const;
    AudioStreamBasicDescription currentFormat(AudioDeviceID device, Boolean isInput) const;
    std::vector<AudioStreamID> streams(AudioDeviceID device, Boolean isInput) const;
    std::size_t listenerCount() const;

    std::vector<AudioCall> journal() const;
    void clearJournal();

    // Calls for which the predicate holds answer `status` and change nothing.
    void failWhen(std::function<bool(const AudioCall &)> predicate, OSStatus status = kAudioHardwareUnspecifiedError);
    // Size answers for which the predicate holds report `size` bytes instead of the true one;
    // reads for which it holds fill at most `size` bytes.
    void reportSizeWhen(std::function<bool(const AudioCall &)> predicate, UInt32 size);
    void clearFailures();
    void setJournaling(bool enabled);

    OSStatus hardwareGetPropertyInfo(AudioPropertyID property, UInt32 &outSize) override;
    OSStatus hardwareGetProperty(AudioPropertyID property, UInt32 &ioSize, std::span<std::byte> outData) override;
    OSStatus deviceGetPropertyInfo(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                   UInt32 &outSize) override;
    OSStatus deviceGetProperty(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                               UInt32 &ioSize, std::span<std::byte> outData) override;
    OSStatus deviceGetName(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                           UInt32 &ioSize, CFStringRef &outName) override;
    OSStatus deviceSetProperty(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                               std::span<const std::byte> data) override;
    OSStatus streamGetProperty(AudioStreamID stream, UInt32 channel, AudioPropertyID property, UInt32 &ioSize,
                               std::span<std::byte> outData) override;
    OSStatus streamSetProperty(AudioStreamID stream, UInt32 channel, AudioPropertyID property,
                               std::span<const std::byte> data) override;
    OSStatus deviceAddPropertyListener(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                       AudioDevicePropertyListenerProc proc, void *clientData) override;
    OSStatus deviceRemovePropertyListener(AudioDeviceID device, UInt32 channel, Boolean isInput,
                                          AudioPropertyID property, AudioDevicePropertyListenerProc proc) override;

private:
    static constexpr UInt32 kChannels = 3; // master, then channels 1 and 2

    struct Stream {
        AudioStreamID id{};
        UInt32 direction = 0;
    };
    struct Side {
        bool present = false;
        std::vector<Stream> streams;
        std::vector<AudioStreamBasicDescription> physicalFormats;
        AudioStreamBasicDescription format{};
        std::array<Float32, 3> volume{1.0f, 1.0f, 1.0f};
        UInt32 mute = 0;
    };
    struct Device {
        AudioDeviceID id{};
        std::optional<std::string> name;
        int volumeSteps = 0;
        std::function<Float32(Float32)> decibels;
        std::array<Side, 2> sides;
    };
    using Notification = platform::PropertyChange;
    struct Rule {
        std::function<bool(const AudioCall &)> predicate;
        OSStatus status = noErr;
        UInt32 size = 0;
    };

    AudioDeviceID addDeviceLocked(DeviceConfig config);
    // Journals the call and answers a forced failure, if one applies. Returns noErr to go on.
    OSStatus begin(AudioCall &call);
    void finish(AudioCall &&call, OSStatus status);
    OSStatus finishSizeAnswer(AudioCall &&call, OSStatus status, UInt32 &outSize);
    // Where a read is filled, and what of it reaches the caller.
    class ReadTarget;
    OSStatus finishRead(AudioCall &&call, OSStatus status, ReadTarget &target, UInt32 &ioSize);
    std::optional<UInt32> sizeOverride(const AudioCall &call) const;

    Device *findDevice(AudioDeviceID id);
    const Device *findDevice(AudioDeviceID id) const;
    Side *findSide(AudioDeviceID id, Boolean isInput);
    std::pair<Device *, Side *> findStream(AudioStreamID id);
    Float32 storedVolume(const Device &device, Float32 scalar) const;
    static std::vector<Notification> volumeChanges(const Device &device, Side &side, Boolean isInput, UInt32 channel,
                                                   Float32 stored);
    void queueNotification(const Notification &n) { queueNotifications({&n, 1}); }
    void queueNotifications(std::span<const Notification> changes);
    void notificationLoop();

    mutable std::mutex m_stateMutex;
    std::vector<Device> m_devices;
    UInt32 m_nextObjectId = 0x100;
    std::vector<AudioCall> m_journal;
    bool m_journaling = true;
    std::vector<Rule> m_failures;
    std::vector<Rule> m_sizes;

    platform::PropertyListenerSet m_listeners;

    mutable std::mutex m_queueMutex;
    std::condition_variable m_queueChanged;
    std::deque<Notification> m_queue;
    std::uint64_t m_queued = 0;
    std::uint64_t m_delivered = 0;
    bool m_stopping = false;
    std::thread::id m_notifierId;
    std::thread m_notifier;
};

} // namespace sim
