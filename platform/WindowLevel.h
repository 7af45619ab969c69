#pragma once

#include <cstdint>

// Window levels by key, with the key numbers and levels of the system's window server.
using CGWindowLevel = std::int32_t;

enum CGWindowLevelKey : std::int32_t {
    kCGNormalWindowLevelKey = 4,
    kCGModalPanelWindowLevelKey = 10,
};

constexpr CGWindowLevel CGWindowLevelForKey(CGWindowLevelKey key)
{
    switch (key) {
    case kCGNormalWindowLevelKey: return 0;
    case kCGModalPanelWindowLevelKey: return 8;
    }
    return 0;
}

// Anything above the normal level keeps the window above ordinary windows.
constexpr bool windowLevelStaysOnTop(CGWindowLevel level)
{
    return level > CGWindowLevelForKey(kCGNormalWindowLevelKey);
}
