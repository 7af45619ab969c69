#include "Presets.h"

#include "Command.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <cmath>

namespace {

constexpr int kPresetVersion = 1;
// A preset is a few hundred bytes; anything far larger is not one.
constexpr qint64 kPresetSizeLimit = 64 * 1024;
const char *const kLevelNames[4] = {"input1", "input2", "output1", "output2"};
const char *const kMuteNames[2] = {"input", "output"};

QString fileFor(const QString &name)
{
    return QDir(presetsFolder()).filePath(name + QStringLiteral(".json"));
}

std::optional<PresetState> stateFrom(const QJsonObject &object)
{
    if (object.value(QStringLiteral("version")).toInt(-1) != kPresetVersion)
        return std::nullopt;
    PresetState state;
    const QJsonObject levels = object.value(QStringLiteral("levels")).toObject();
    for (std::size_t i = 0; i < state.levels.size(); ++i) {
        const QJsonValue level = levels.value(QLatin1String(kLevelNames[i]));
        const double value = level.toDouble(-1.0);
        if (!level.isDouble() || !(value >= 0.0 && value <= 1.0))
            return std::nullopt;
        state.levels[i] = static_cast<float>(value);
    }
    const QJsonObject mutes = object.value(QStringLiteral("mutes")).toObject();
    for (std::size_t i = 0; i < state.mutes.size(); ++i) {
        const QJsonValue mute = mutes.value(QLatin1String(kMuteNames[i]));
        if (!mute.isBool())
            return std::nullopt;
        state.mutes[i] = mute.toBool();
    }
    const QJsonValue link = object.value(QStringLiteral("link"));
    const QJsonValue rate = object.value(QStringLiteral("rate"));
    if (!link.isBool() || !rate.isDouble())
        return std::nullopt;
    state.link = link.toBool();
    state.rate = static_cast<std::uint32_t>(rate.toInt());
    if (state.rate != 44100 && state.rate != 48000 && state.rate != 96000)
        return std::nullopt;
    return state;
}

} // namespace

QString presetsFolder()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The base directory specification ignores relative paths.
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::home().filePath(QStringLiteral(".config"));
    return QDir(config).filePath(QStringLiteral("Orvanelle/presets"));
}

QStringList presetNames()
{
    QStringList names;
    const QDir folder(presetsFolder());
    for (const QString &file : folder.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        const QString name = file.chopped(5);
        if (validPresetName(name))
            names.push_back(name);
    }
    return names;
}

QString savePreset(const QString &name, const PresetState &state)
{
    if (!validPresetName(name))
        return QCoreApplication::translate("Presets", "\"%1\" cannot be a preset's name.").arg(name);
    QJsonObject levels;
    for (std::size_t i = 0; i < state.levels.size(); ++i)
        levels.insert(QLatin1String(kLevelNames[i]), static_cast<double>(state.levels[i]));
    QJsonObject mutes;
    for (std::size_t i = 0; i < state.mutes.size(); ++i)
        mutes.insert(QLatin1String(kMuteNames[i]), state.mutes[i]);
    const QJsonObject object{{QStringLiteral("version"), kPresetVersion},
                             {QStringLiteral("levels"), levels},
                             {QStringLiteral("mutes"), mutes},
                             {QStringLiteral("link"), state.link},
                             {QStringLiteral("rate"), static_cast<qint64>(state.rate)}};
    if (!QDir().mkpath(presetsFolder()))
        return QCoreApplication::translate("Presets", "Could not make the folder %1.").arg(presetsFolder());
    QSaveFile file(fileFor(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(object).toJson()) < 0 || !file.commit())
        return QCoreApplication::translate("Presets", "Could not write the preset \"%1\" to %2: %3")
            .arg(name, file.fileName(), file.errorString());
    return {};
}

LoadedPreset loadPreset(const QString &name)
{
    if (!validPresetName(name))
        return {std::nullopt, QCoreApplication::translate("Presets", "\"%1\" cannot be a preset's name.").arg(name)};
    QFile file(fileFor(name));
    if (!file.exists())
        return {std::nullopt, QCoreApplication::translate("Presets", "There is no preset \"%1\".").arg(name)};
    if (!file.open(QIODevice::ReadOnly) || file.size() > kPresetSizeLimit)
        return {std::nullopt,
                QCoreApplication::translate("Presets", "The preset \"%1\" cannot be read (%2).")
                    .arg(name, file.fileName())};
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.read(kPresetSizeLimit), &error);
    std::optional<PresetState> state
        = error.error == QJsonParseError::NoError ? stateFrom(document.object()) : std::nullopt;
    if (!state)
        return {std::nullopt,
                QCoreApplication::translate("Presets",
                                            "The preset \"%1\" is damaged and was not loaded; nothing changed (%2).")
                    .arg(name, file.fileName())};
    return {state, {}};
}

QString deletePreset(const QString &name)
{
    if (!validPresetName(name))
        return QCoreApplication::translate("Presets", "\"%1\" cannot be a preset's name.").arg(name);
    QFile file(fileFor(name));
    if (!file.exists())
        return QCoreApplication::translate("Presets", "There is no preset \"%1\".").arg(name);
    if (!file.remove())
        return QCoreApplication::translate("Presets", "Could not delete the preset \"%1\": %2")
            .arg(name, file.errorString());
    return {};
}
