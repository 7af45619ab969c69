#pragma once

// The audio hardware, device and stream property operations the panel uses, with the
// arguments and status results of the system's own interface. Each call goes to the backend
// chosen once at start-up (the simulated interface or the real system).

#include "CoreAudioTypes.h"

class AudioHardwareBackend {
public:
    virtual ~AudioHardwareBackend() = default;

    virtual OSStatus hardwareGetPropertyInfo(AudioPropertyID property, UInt32 &outSize) = 0;
    // ioSize: on entry the bytes the caller offers (never more than outData.size()); on return
    // the bytes filled.
    virtual OSStatus hardwareGetProperty(AudioPropertyID property, UInt32 &ioSize, std::span<std::byte> outData) = 0;

    virtual OSStatus deviceGetPropertyInfo(AudioDeviceID device, UInt32 channel, Boolean isInput,
                                           AudioPropertyID property, UInt32 &outSize)
        = 0;
    virtual OSStatus deviceGetProperty(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                       UInt32 &ioSize, std::span<std::byte> outData)
        = 0;
    virtual OSStatus deviceGetName(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                   UInt32 &ioSize, CFStringRef &outName)
        = 0;
    virtual OSStatus deviceSetProperty(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                       std::span<const std::byte> data)
        = 0;

    virtual OSStatus streamGetProperty(AudioStreamID stream, UInt32 channel, AudioPropertyID property, UInt32 &ioSize,
                                       std::span<std::byte> outData)
        = 0;
    virtual OSStatus streamSetProperty(AudioStreamID stream, UInt32 channel, AudioPropertyID property,
                                       std::span<const std::byte> data)
        = 0;

    virtual OSStatus deviceAddPropertyListener(AudioDeviceID device, UInt32 channel, Boolean isInput,
                                               AudioPropertyID property, AudioDevicePropertyListenerProc proc,
                                               void *clientData)
        = 0;
    // When this returns, no further call for that registration is made.
    virtual OSStatus deviceRemovePropertyListener(AudioDeviceID device, UInt32 channel, Boolean isInput,
                                                  AudioPropertyID property, AudioDevicePropertyListenerProc proc)
        = 0;
};

// Not owned. Without a backend every operation answers kAudioHardwareNotRunningError.
void SetAudioHardwareBackend(AudioHardwareBackend *backend);

OSStatus AudioHardwareGetPropertyInfo(AudioPropertyID property, UInt32 *outSize, Boolean *outWritable);
OSStatus AudioHardwareGetProperty(AudioPropertyID property, UInt32 *ioSize, std::span<std::byte> outData);

OSStatus AudioDeviceGetPropertyInfo(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                    UInt32 *outSize, Boolean *outWritable);
OSStatus AudioDeviceGetProperty(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                UInt32 *ioSize, std::span<std::byte> outData);
// The name form: the buffer is one string reference, handed to the caller.
OSStatus AudioDeviceGetProperty(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                UInt32 *ioSize, CFStringRef *outName);
OSStatus AudioDeviceSetProperty(AudioDeviceID device, const AudioTimeStamp *when, UInt32 channel, Boolean isInput,
                                AudioPropertyID property, UInt32 size, std::span<const std::byte> data);

OSStatus AudioStreamGetProperty(AudioStreamID stream, UInt32 channel, AudioPropertyID property, UInt32 *ioSize,
                                std::span<std::byte> outData);
OSStatus AudioStreamSetProperty(AudioStreamID stream, const AudioTimeStamp *when, UInt32 channel,
                                AudioPropertyID property, UInt32 size, std::span<const std::byte> data);

OSStatus AudioDeviceAddPropertyListener(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                        AudioDevicePropertyListenerProc proc, void *clientData);
OSStatus AudioDeviceRemovePropertyListener(AudioDeviceID device, UInt32 channel, Boolean isInput,
                                           AudioPropertyID property, AudioDevicePropertyListenerProc proc);

// Listeners on the audio system as a whole, such as kAudioHardwarePropertyDevices for a device
// that comes or goes. They run on whichever thread announces the change; once removal returns,
// the listener is not called again.
OSStatus AudioHardwareAddPropertyListener(AudioPropertyID property, AudioHardwarePropertyListenerProc proc,
                                          void *clientData);
OSStatus AudioHardwareRemovePropertyListener(AudioPropertyID property, AudioHardwarePropertyListenerProc proc);

namespace platform {
// Called by whatever watches the system's audio devices (an audio backend, the device monitor)
// when a property of the whole audio system may have changed.
void AudioHardwarePropertyChanged(AudioPropertyID property);
} // namespace platform
