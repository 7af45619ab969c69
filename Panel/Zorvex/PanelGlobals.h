#pragma once

#include "IOKit.h"
#include "IOKitHID.h"

#include <mutex>

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
