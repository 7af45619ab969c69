#pragma once

// Where a negative return of alsa-lib, hidapi or a system call becomes the status the panel's
// platform calls answer. Each backend converts once, at the call that failed.

#include "CoreAudioTypes.h"
#include "IOKitHID.h"

#include <cstddef>

namespace linuxbackends {

// alsa-lib's convention: 0 or more is success, a negative errno is the failure.
OSStatus audioStatusFromAlsa(int result);

// hid_write() answers the bytes written or -1; anything short of the whole framed report
// (report id byte included) did not reach the device.
IOReturn ioReturnFromHidWrite(int result, std::size_t framedSize);
// hid_read_timeout() answers the bytes read, 0 when nothing came within the time-out, or -1.
IOReturn ioReturnFromHidRead(int result);

} // namespace linuxbackends
