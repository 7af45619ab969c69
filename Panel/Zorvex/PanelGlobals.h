#pragma once

#include "CoreAudioTypes.h"
#include "IOKit.h"
#include "IOKitHID.h"

#include <functional>
#include <mutex>
#include <string>

// Calls `found` for each audio device of exactly that name, in the system's order. The status
// of a device list that could not be read; a device whose name does not read is passed over.
OSStatus forEachAudioDeviceNamed(const std::string &wanted, const std::function<void(AudioDeviceID)> &found);

// Whether the audio system lists the interface's sound card, "Zorvex".
bool soundCardPresent();

// The interface's HID device, borrowed from whoever found it. Read and changed only under
// gHIDReportLock, which is also held across each report exchange.
extern IOHIDDeviceRef gHIDInterface;
extern std::mutex gHIDReportLock;

// Discovery's handles, alive until the process ends.
extern mach_port_t gMasterPort;
extern IONotificationPortRef gNotifyPort;
extern CFRunLoopSourceRef gRunLoopSource;
extern io_iterator_t gMatchedIterator;
extern io_object_t gInterestNotification;
