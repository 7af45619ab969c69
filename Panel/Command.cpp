#include "Command.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <cmath>

namespace {

struct Target {
    const char *name;
    int index;
    bool pair;
};

// Pair names set both channels; channel names one.
constexpr std::array<Target, 6> kLevelTargets = {{
    {"input", 0, true},
    {"output", 2, true},
    {"input1", 0, false},
    {"input2", 1, false},
    {"output1", 2, false},
    {"output2", 3, false},
}};

constexpr std::array<std::uint32_t, 3> kRates = {44100, 48000, 96000};

// The longest name a preset may have, in characters; file systems take 255 bytes.
constexpr qsizetype kPresetNameLimit = 64;

std::optional<LevelChange> parseLevel(const QString &text)
{
    static const QRegularExpression decibels(
        QStringLiteral("^\\s*([-+]?[0-9]+(?:\\.[0-9]*)?|[-+]?\\.[0-9]+)\\s*dB\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    LevelChange change;
    bool ok = false;
    if (const QRegularExpressionMatch m = decibels.match(text); m.hasMatch()) {
        change.value = m.captured(1).toFloat(&ok);
        change.inDecibels = true;
        return ok && std::isfinite(change.value) ? std::optional(change) : std::nullopt;
    }
    const QString trimmed = text.trimmed();
    // Digits only: toFloat alone would take "nan", "inf" and "1e0".
    static const QRegularExpression fraction(QStringLiteral("^[0-9]*\\.?[0-9]+$|^[0-9]+\\.$"));
    if (!fraction.match(trimmed).hasMatch())
        return std::nullopt;
    change.value = trimmed.toFloat(&ok);
    if (!ok || change.value < 0.0f || change.value > 1.0f)
        return std::nullopt;
    return change;
}

QString setError(const QString &text)
{
    return QCoreApplication::translate(
               "Command",
               "--set wants CHANNEL=LEVEL, where CHANNEL is input, output, input1, input2, output1 or output2 "
               "and LEVEL a level in dB (-10dB) or a fraction from 0 to 1, not \"%1\".")
        .arg(text);
}

QString readSet(Command &command, const QString &text)
{
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq < 0)
        return setError(text);
    const QString name = text.left(eq).trimmed().toLower();
    const auto target = std::find_if(kLevelTargets.begin(), kLevelTargets.end(),
                                     [&](const Target &t) { return name == QLatin1String(t.name); });
    std::optional<LevelChange> level = parseLevel(text.mid(eq + 1));
    if (target == kLevelTargets.end() || !level)
        return setError(text);
    level->index = target->index;
    level->pair = target->pair;
    command.levels.push_back(*level);
    return {};
}

QString readMute(Command &command, const QString &text)
{
    const QStringList parts = text.toLower().split(QLatin1Char('='));
    static const QStringList sides = {QStringLiteral("input"), QStringLiteral("output")};
    static const QStringList changes = {QStringLiteral("off"), QStringLiteral("on"), QStringLiteral("toggle")};
    const qsizetype side = parts.size() == 2 ? sides.indexOf(parts[0].trimmed()) : -1;
    const qsizetype change = parts.size() == 2 ? changes.indexOf(parts[1].trimmed()) : -1;
    if (side < 0 || change < 0)
        return QCoreApplication::translate("Command",
                                           "--mute wants input=on|off|toggle or output=on|off|toggle, not \"%1\".")
            .arg(text);
    command.mutes[static_cast<std::size_t>(side)] = static_cast<MuteChange>(change);
    return {};
}

QString readLink(Command &command, const QString &text)
{
    const QString value = text.trimmed().toLower();
    if (value != QLatin1String("on") && value != QLatin1String("off"))
        return QCoreApplication::translate("Command", "--link wants on or off, not \"%1\".").arg(text);
    command.link = value == QLatin1String("on");
    return {};
}

QString readRate(Command &command, const QString &text)
{
    bool ok = false;
    const uint rate = text.trimmed().toUInt(&ok);
    if (!ok || std::find(kRates.begin(), kRates.end(), rate) == kRates.end())
        return QCoreApplication::translate("Command", "--rate wants 44100, 48000 or 96000, not \"%1\".").arg(text);
    command.rate = rate;
    return {};
}

QString readPreset(Command &command, const QStringList &arguments, qsizetype &i, const QString &action)
{
    static const QStringList actions
        = {QStringLiteral("save"), QStringLiteral("load"), QStringLiteral("list"), QStringLiteral("delete")};
    const qsizetype which = actions.indexOf(action);
    if (which < 0)
        return QCoreApplication::translate("Command",
                                           "--preset wants save NAME, load NAME, list or delete NAME, not \"%1\".")
            .arg(action);
    command.preset = static_cast<PresetAction>(which + 1);
    if (command.preset == PresetAction::List)
        return {};
    if (i + 1 >= arguments.size())
        return QCoreApplication::translate("Command", "--preset %1 wants the preset's name.").arg(action);
    command.presetName = arguments[++i];
    if (!validPresetName(command.presetName))
        return QCoreApplication::translate(
                   "Command",
                   "\"%1\" cannot be a preset's name: use up to 64 characters, no \"/\", not starting with \".\".")
            .arg(command.presetName);
    return {};
}

} // namespace

bool validPresetName(const QString &name)
{
    if (name.trimmed().isEmpty() || name.size() > kPresetNameLimit || name.startsWith(QLatin1Char('.')))
        return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) {
        return c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control;
    });
}

bool Command::any() const
{
    return !levels.empty() || mutes[0] || mutes[1] || link || rate || defaults || get || json
        || preset != PresetAction::None;
}

bool Command::needsInterface() const
{
    return preset != PresetAction::List && preset != PresetAction::Delete;
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    Command &command = line.command;
    for (qsizetype i = 0; i < arguments.size() && line.error.isEmpty(); ++i) {
        QString option = arguments[i];
        std::optional<QString> attached;
        if (const qsizetype eq = option.indexOf(QLatin1Char('=')); option.startsWith(QLatin1String("--")) && eq > 0) {
            attached = option.mid(eq + 1);
            option.truncate(eq);
        }
        // The option's value: after "=" or the next argument.
        const auto value = [&]() -> std::optional<QString> {
            if (attached)
                return attached;
            if (i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        const auto flag = [&](bool &target) {
            if (attached)
                line.error = QCoreApplication::translate("Command", "%1 takes no value.").arg(option);
            target = true;
        };
        if (option == QLatin1String("--simulate")) {
            flag(line.simulate);
        } else if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
            flag(line.help);
        } else if (option == QLatin1String("--version") || option == QLatin1String("-v")) {
            flag(line.version);
        } else if (option == QLatin1String("--defaults")) {
            flag(command.defaults);
        } else if (option == QLatin1String("--get")) {
            flag(command.get);
        } else if (option == QLatin1String("--json")) {
            flag(command.json);
        } else if (option == QLatin1String("--screenshot") || option == QLatin1String("--set")
                   || option == QLatin1String("--mute") || option == QLatin1String("--link")
                   || option == QLatin1String("--rate") || option == QLatin1String("--preset")) {
            const std::optional<QString> text = value();
            if (!text)
                line.error = QCoreApplication::translate("Command", "%1 wants a value.").arg(option);
            else if (option == QLatin1String("--screenshot"))
                line.screenshot = *text;
            else if (option == QLatin1String("--set"))
                line.error = readSet(command, *text);
            else if (option == QLatin1String("--mute"))
                line.error = readMute(command, *text);
            else if (option == QLatin1String("--link"))
                line.error = readLink(command, *text);
            else if (option == QLatin1String("--rate"))
                line.error = readRate(command, *text);
            else if (command.preset != PresetAction::None)
                line.error = QCoreApplication::translate("Command", "Only one --preset at a time.");
            else
                line.error = readPreset(command, arguments, i, text->toLower());
        } else {
            line.error = QCoreApplication::translate("Command", "Unknown argument \"%1\".").arg(arguments[i]);
        }
    }
    if (!line.error.isEmpty())
        return line;
    const bool changes = !command.levels.empty() || command.mutes[0] || command.mutes[1] || command.link || command.rate
        || command.defaults;
    if (command.json && !command.get)
        line.error = QCoreApplication::translate("Command", "--json goes with --get.");
    else if (command.preset != PresetAction::None && (changes || command.get))
        line.error = QCoreApplication::translate("Command", "--preset goes alone.");
    else if (command.any() && line.screenshot)
        line.error = QCoreApplication::translate("Command", "--screenshot goes with the window, not with a command.");
    return line;
}

QString commandUsage()
{
    return QCoreApplication::translate(
        "Command",
        "Usage: zorvex-panel [--simulate] [--screenshot FILE]\n"
        "       zorvex-panel [--simulate] [--defaults] [--set CHANNEL=LEVEL]... [--mute SIDE=on|off|toggle]...\n"
        "                    [--link on|off] [--rate 44100|48000|96000] [--get [--json]]\n"
        "       zorvex-panel [--simulate] --preset save NAME | load NAME | list | delete NAME\n"
        "\n"
        "Without a command, opens the control panel of the Orvanelle Zorvex USB audio interface.\n"
        "CHANNEL: input, output (both channels), input1, input2, output1, output2.\n"
        "LEVEL: a level in dB as the read-outs show it (-10dB) or a fraction from 0 to 1.\n"
        "SIDE: input or output.\n"
        "A running panel carries the command out and its window follows; otherwise the command\n"
        "attaches to the interface without a window.\n"
        "Exit status: 0 done, 1 preset missing or damaged, 2 usage, 3 no interface, 4 no permission,\n"
        "5 the rate refused.\n");
}
