#include "Logging.h"

// Warnings and worse by default; information and debug messages only when asked for.
Q_LOGGING_CATEGORY(lcDiscovery, "zorvex.discovery", QtWarningMsg)
Q_LOGGING_CATEGORY(lcAudio, "zorvex.audio", QtWarningMsg)
Q_LOGGING_CATEGORY(lcHid, "zorvex.hid", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPrefs, "zorvex.prefs", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSession, "zorvex.session", QtWarningMsg)
