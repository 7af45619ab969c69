#include "Preferences.h"

#include "Logging.h"

#include <QCoreApplication>
#include <QFile>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <set>
#include <sys/stat.h>

namespace {

bool readJson(QIODevice &device, QSettings::SettingsMap &map)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(device.readAll(), &error);
    // A damaged file reads as empty rather than failing the whole store: the one value kept
    // here has a safe default.
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return true;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it)
        map.insert(it.key(), it.value().toVariant());
    return true;
}

bool writeJson(QIODevice &device, const QSettings::SettingsMap &map)
{
    QJsonObject object;
    for (auto it = map.begin(); it != map.end(); ++it)
        object.insert(it.key(), QJsonValue::fromVariant(it.value()));
    return device.write(QJsonDocument(object).toJson()) >= 0;
}

QSettings::Format jsonFormat()
{
    static const QSettings::Format format = QSettings::registerFormat("json", readJson, writeJson);
    return format;
}

std::mutex gDirectoryMutex;
QString gDirectory;

QString directory()
{
    std::lock_guard lock(gDirectoryMutex);
    if (!gDirectory.isEmpty())
        return gDirectory;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Orvanelle");
}

QSettings openSettings()
{
    return QSettings(platform::preferencesFilePath(), jsonFormat());
}

std::mutex gRefusedMutex;
std::set<QString> gRefusedPaths;

// Whether the preferences file may be opened: absent (the first write creates it) or a regular
// file. Anything else (a FIFO, a device, a socket, a folder) is neither read nor written, since
// opening a FIFO blocks until someone writes to it; that is said once per path.
bool preferencesFileUsable()
{
    const QString path = platform::preferencesFilePath();
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || S_ISREG(status.st_mode))
        return true;
    std::lock_guard lock(gRefusedMutex);
    if (gRefusedPaths.insert(path).second)
        std::fprintf(
            stderr, "zorvex-panel: %s\n",
            qPrintable(QCoreApplication::translate(
                           "Preferences", "%1 is not a regular file; settings are neither read from it nor saved.")
                           .arg(path)));
    return false;
}

} // namespace

namespace platform {

void setPreferencesDirectory(const QString &path)
{
    std::lock_guard lock(gDirectoryMutex);
    gDirectory = path;
}

QString preferencesFilePath()
{
    return directory() + QStringLiteral("/zorvex-panel.json");
}

} // namespace platform

CFPropertyList CFPreferencesCopyAppValue(const QString &key)
{
    if (!preferencesFileUsable())
        return std::nullopt;
    const QSettings settings = openSettings();
    if (settings.status() != QSettings::NoError)
        qCWarning(lcPrefs) << "cannot read" << settings.fileName() << "- the stored settings are not used";
    if (!settings.contains(key)) {
        qCInfo(lcPrefs) << "no stored" << key;
        return std::nullopt;
    }
    qCInfo(lcPrefs) << "read" << key << settings.value(key);
    return settings.value(key);
}

void CFPreferencesSetAppValue(const QString &key, const CFPropertyList &value)
{
    if (!preferencesFileUsable())
        return;
    QSettings settings = openSettings();
    if (value)
        settings.setValue(key, *value);
    else
        settings.remove(key);
}

bool CFPreferencesAppSynchronize()
{
    if (!preferencesFileUsable())
        return false;
    QSettings settings = openSettings();
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        qCWarning(lcPrefs) << "cannot write" << settings.fileName();
        return false;
    }
    qCInfo(lcPrefs) << "stored the settings in" << settings.fileName();
    return true;
}

bool CFNumberGetValue(const QVariant &number, SInt32 *outValue)
{
    double value = 0;
    switch (number.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float: value = number.toDouble(); break;
    default: return false;
    }
    if (!std::isfinite(value) || value != std::trunc(value) || value < std::numeric_limits<SInt32>::min()
        || value > std::numeric_limits<SInt32>::max())
        return false;
    if (outValue)
        *outValue = static_cast<SInt32>(value);
    return true;
}
