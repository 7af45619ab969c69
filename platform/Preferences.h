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
// False when the file could not be written (a read-only folder or file, a full disk, a path that
// is not a regular file); what was set stays pending for the next synchronisation.
bool CFPreferencesAppSynchronize();

// A number's value as a signed 32-bit int; false for anything that is not a number, or a
// number that a 32-bit int cannot hold exactly.
bool CFNumberGetValue(const QVariant &number, SInt32 *outValue);

namespace platform {
// Tests point the preferences at a folder of their own; an empty path restores the default.
void setPreferencesDirectory(const QString &directory);
QString preferencesFilePath();
} // namespace platform
