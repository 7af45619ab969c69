#pragma once

#include "IOKitHID.h"

#include <mutex>

// The interface's HID device, borrowed from whoever found it. Read and changed only under
// gHIDReportLock, which is also held across each report exchange.
extern IOHIDDeviceRef gHIDInterface;
extern std::mutex gHIDReportLock;
