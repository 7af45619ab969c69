#include "Preferences.h"

#include "Logging.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
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
QString gName = QStringLiteral("zorvex-panel");

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

// Values set and not yet confirmed in the file, by file, so that a failed write is tried
// again at the next synchronisation rather than lost.
using PendingValues = std::map<QString, CFPropertyList>;
std::mutex gPendingMutex;
std::map<QString, PendingValues> gPending;

// Whether the folder and the regular file at `path` hold every pending value (and none that
// was removed), read back from the disk.
bool holdsAll(const QString &path, const PendingValues &pending)
{
    const QFileInfo file(path);
    if (!QFileInfo(file.absolutePath()).isDir() || !file.isFile())
        return false;
    QFile stored(path);
    if (!stored.open(QIODevice::ReadOnly))
        return false;
    const QJsonObject object = QJsonDocument::fromJson(stored.readAll()).object();
    for (const auto &[key, value] : pending) {
        if (value ? object.value(key) != QJsonValue::fromVariant(*value) : object.contains(key))
            return false;
    }
    return true;
}

} // namespace

namespace platform {

void setPreferencesDirectory(const QString &path)
{
    std::lock_guard lock(gDirectoryMutex);
    gDirectory = path;
}

void setPreferencesName(const QString &name)
{
    std::lock_guard lock(gDirectoryMutex);
    gName = name;
}

QString preferencesFilePath()
{
    const QString folder = directory();
    std::lock_guard lock(gDirectoryMutex);
    return folder + QLatin1Char('/') + gName + QStringLiteral(".json");
}

} // namespace platform

CFPropertyList CFPreferencesCopyAppValue(const QString &key)
{
    if (!preferencesFileUsable())
        return std::nullopt;
    {
        // What this run set and could not store yet is still this run's value.
        std::lock_guard lock(gPendingMutex);
        const PendingValues &pending = gPending[platform::preferencesFilePath()];
        if (const auto it = pending.find(key); it != pending.end())
            return it->second;
    }
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
    std::lock_guard lock(gPendingMutex);
    gPending[platform::preferencesFilePath()][key] = value;
}

bool CFPreferencesAppSynchronize()
{
    if (!preferencesFileUsable())
        return false;
    const QString path = platform::preferencesFilePath();
    std::lock_guard lock(gPendingMutex);
    PendingValues &pending = gPending[path];
    if (pending.empty())
        return true;
    {
        QSettings settings = openSettings();
        for (const auto &[key, value] : pending) {
            if (value)
                settings.setValue(key, *value);
            else
                settings.remove(key);
        }
        settings.sync();
    }
    // QSettings' status says nothing when its writing was refused early (a file where the
    // folder belongs): the file itself is the proof.
    if (!holdsAll(path, pending)) {
        qCWarning(lcPrefs) << "cannot write" << path;
        return false;
    }
    pending.clear();
    qCInfo(lcPrefs) << "stored the settings in" << path;
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
