#include "LinuxStatus.h"

#include <cerrno>

namespace linuxbackends {

OSStatus audioStatusFromAlsa(int result)
{
    if (result >= 0)
        return noErr;
    // Matched as negative numbers: negating INT_MIN would overflow.
    switch (result) {
    // The card has gone (unplugged) or never was.
    case -ENODEV:
    case -ENXIO:
    case -ENOENT:
    case -ESHUTDOWN:
    case -EBADFD: return kAudioHardwareBadDeviceError;
    // Another program holds the device, or this user may not use it.
    case -EBUSY:
    case -EAGAIN:
    case -EACCES:
    case -EPERM:
    case -EINVAL: return kAudioHardwareIllegalOperationError;
    // The element or the driver lacks the feature (no dB table, no switch).
    case -ENOSYS:
    case -ENOTSUP:
    case -ENOTTY: return kAudioHardwareUnknownPropertyError;
    default: return kAudioHardwareUnspecifiedError;
    }
}

IOReturn ioReturnFromHidWrite(int result, std::size_t framedSize)
{
    if (result < 0)
        return kIOReturnError;
    return static_cast<std::size_t>(result) == framedSize ? kIOReturnSuccess : kIOReturnError;
}

IOReturn ioReturnFromHidRead(int result)
{
    if (result < 0)
        return kIOReturnError;
    return result == 0 ? kIOReturnNotResponding : kIOReturnSuccess;
}

} // namespace linuxbackends
