#pragma once

// The program's log, quiet by default: turn a category on with QT_LOGGING_RULES, for example
// QT_LOGGING_RULES="zorvex.*=true" to see attach, detach, refused device nodes and a missing
// sound server.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcDiscovery) // "zorvex.discovery": the interface found, attached, lost
Q_DECLARE_LOGGING_CATEGORY(lcAudio)     // "zorvex.audio": the sound cards and the sound server
Q_DECLARE_LOGGING_CATEGORY(lcHid)       // "zorvex.hid": the interface's HID node and its reports
Q_DECLARE_LOGGING_CATEGORY(lcPrefs)     // "zorvex.prefs": the stored settings
Q_DECLARE_LOGGING_CATEGORY(
    lcSession) // "zorvex.session": one panel per desktop session, and the desktop's programs it starts
