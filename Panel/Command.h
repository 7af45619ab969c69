#pragma once

// What one launch of the program asks for, read from its arguments in full before anything
// touches the device, so that a line with one bad argument changes nothing.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The program's exit statuses; the manual page lists them.
enum ExitStatus : int {
    kExitOk = 0,
    kExitFailure = 1,     // a preset missing, damaged or not written; a panel that did not answer
    kExitUsage = 2,       // the arguments make no command
    kExitNoInterface = 3, // no Zorvex attached
    kExitNoPermission = 4,
    kExitRateRefused = 5,
};

// One --set: a level for one channel (level index 0..3) or both channels of a pair.
struct LevelChange {
    int index = 0;     // the first channel's level index
    bool pair = false; // index and its partner index ^ 1
    float value = 0;   // a scalar 0..1, or decibels when inDecibels
    bool inDecibels = false;
};

enum class MuteChange { Off, On, Toggle };
enum class PresetAction { None, Save, Load, List, Delete };

struct Command {
    std::vector<LevelChange> levels;
    std::array<std::optional<MuteChange>, 2> mutes; // by mute index: input, output
    std::optional<bool> link;
    std::optional<std::uint32_t> rate;
    bool defaults = false;
    bool get = false;
    bool json = false;
    PresetAction preset = PresetAction::None;
    QString presetName;

    // Whether the launch is a command rather than the window.
    bool any() const;
    // Whether it needs the interface: everything but listing and deleting presets.
    bool needsInterface() const;
};

struct CommandLine {
    Command command;
    bool simulate = false;
    std::optional<QString> screenshot;
    bool help = false;
    bool version = false;
    // Set when the arguments make no command; nothing else is then to be used.
    QString error;
};

// The arguments after the program's name.
CommandLine parseCommandLine(const QStringList &arguments);

// Whether a name can be a preset's: a file name of its own, without a folder in it.
bool validPresetName(const QString &name);

QString commandUsage();
