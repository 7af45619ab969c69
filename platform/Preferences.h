#pragma once

// The application's own preferences, in the shape of the per-application preference calls:
// values are copied out, set (or removed with an empty value) and synchronised to disk. They
// live in a JSON file under the user's configuration folder, so that a number stays a number
// and a string stays a string across runs.

#include "CoreAudioTypes.h"

#include <QString>
#include <QVariant>
#include <optional>

using CFPropertyList = std::optional<QVariant>;

CFPropertyList CFPreferencesCopyAppValue(const QString &key);
void CFPreferencesSetAppValue(const QString &key, const CFPropertyList &value);
// False when the file does not hold what was set afterwards (a read-only folder or file, a full
// disk, a file where the folder belongs, a path that is not a regular file); what was set stays
// pending, and read as set, until a synchronisation stores it.
bool CFPreferencesAppSynchronize();

// A number's value as a signed 32-bit int; false for anything that is not a number, or a
// number that a 32-bit int cannot hold exactly.
bool CFNumberGetValue(const QVariant &number, SInt32 *outValue);

namespace platform {
// Tests point the preferences at a folder of their own; an empty path restores the default.
void setPreferencesDirectory(const QString &directory);
QString preferencesFilePath();
// The file's name without its extension, "zorvex-panel" unless set. The simulated interface
// keeps a file of its own, so that what is chosen on it never reaches the real interface.
void setPreferencesName(const QString &name);
} // namespace platform
