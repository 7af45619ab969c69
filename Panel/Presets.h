#pragma once

// Saved mixer states, one JSON file each in $XDG_CONFIG_HOME/Orvanelle/presets/ (or
// ~/.config/Orvanelle/presets/).

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

struct PresetState {
    std::array<float, 4> levels{}; // volume scalars by level index
    std::array<bool, 2> mutes{};   // by mute index: input, output
    bool link = true;
    std::uint32_t rate = 44100;
};

// The folder, not created.
QString presetsFolder();
QStringList presetNames();
// Written whole or not at all. Empty on success, else why not.
QString savePreset(const QString &name, const PresetState &state);
// Either the state or why it cannot be had (missing, damaged); the folder's files are never
// repaired or removed.
struct LoadedPreset {
    std::optional<PresetState> state;
    QString error;
};
LoadedPreset loadPreset(const QString &name);
QString deletePreset(const QString &name);
