#include "CommandEngine.h"

#include "AButton.h"
#include "AMatrix.h"
#include "ARoundButtonSlider.h"
#include "ATextField.h"
#include "ATolvane.h"
#include "CoreAudio.h"
#include "PanelTables.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace {

const char *const kLevelNames[4] = {"input1", "input2", "output1", "output2"};
const char *const kMuteNames[2] = {"input", "output"};

void moveFader(ATolvane &panel, int index, float value)
{
    if (ARoundButtonSlider *fader = panel.fChannelLevel[static_cast<std::size_t>(index)]) {
        fader->setDoubleValue(static_cast<double>(value));
        panel.setChannelLevel(fader);
    }
}

void pressMute(ATolvane &panel, int index, bool on)
{
    if (AButton *button = panel.fChannelMute[static_cast<std::size_t>(index)]) {
        button->setState(on ? 1 : 0);
        panel.setChannelMute(button);
    }
}

void flipLink(ATolvane &panel, bool on)
{
    if (panel.fChannelLink) {
        panel.fChannelLink->setState(on ? 1 : 0);
        panel.setChannelLink(panel.fChannelLink);
    }
}

// As the rate selector does: the cell first, then the input side, then the output side, which
// is the one the window shows.
CommandReply chooseRate(ATolvane &panel, UInt32 rate)
{
    const auto tag = std::find(SampleRateByTag.begin(), SampleRateByTag.end(), rate) - SampleRateByTag.begin();
    if (panel.fSampleRate) {
        panel.fSampleRate->deselectAllCells();
        panel.fSampleRate->selectCellWithTag(static_cast<int>(tag));
    }
    panel.setHwSampleRate(rate, 1);
    if (panel.setHwSampleRate(rate, 0) == noErr)
        return {};
    // The window's own words for the refusal, where it has them.
    const QString why = panel.fSampleText ? panel.fSampleText->toolTip() : QString();
    return {kExitRateRefused,
            {},
            why.isEmpty()
                ? QCoreApplication::translate("Command", "The rate did not change: the interface does not offer %1 Hz.")
                      .arg(rate)
                : why};
}

std::optional<Float32> readFloat(ATolvane &panel, int index, AudioPropertyID property, Float32 in = 0)
{
    const ChannelProperty &row = ChannelPropertyTable[static_cast<std::size_t>(index)];
    Float32 value = in;
    UInt32 size = sizeof(value);
    const UInt32 channel = property == kAudioDevicePropertyVolumeDecibels ? row.decibelChannel : row.levelChannel;
    if (AudioDeviceGetProperty(panel.fDeviceId[row.levelDirection], channel, row.levelDirection, property, &size,
                               bytesOf(value))
            != noErr
        || size != sizeof(value) || !std::isfinite(value))
        return std::nullopt;
    return value;
}

CommandReply notAttached(const ATolvane &panel)
{
    return {panel.userClientRefused() ? kExitNoPermission : kExitNoInterface, {}, panel.disabledReason()};
}

double rounded(double value, double scale)
{
    return std::round(value * scale) / scale;
}

QString describe(ATolvane &panel, const PresetState &state, bool windowRuns, bool json)
{
    std::array<std::optional<Float32>, 4> decibels;
    for (int i = 0; i < 4; ++i)
        decibels[static_cast<std::size_t>(i)] = readFloat(panel, i, kAudioDevicePropertyVolumeDecibels);
    if (json) {
        QJsonObject levels;
        for (std::size_t i = 0; i < 4; ++i)
            levels.insert(
                QLatin1String(kLevelNames[i]),
                QJsonObject{{QStringLiteral("fraction"), rounded(static_cast<double>(state.levels[i]), 1e4)},
                            {QStringLiteral("dB"),
                             decibels[i] ? QJsonValue(rounded(*decibels[i], 10)) : QJsonValue(QJsonValue::Null)}});
        QJsonObject mutes;
        for (std::size_t i = 0; i < 2; ++i)
            mutes.insert(QLatin1String(kMuteNames[i]), state.mutes[i]);
        const QJsonObject object{
            {QStringLiteral("levels"), levels},
            {QStringLiteral("mutes"), mutes},
            {QStringLiteral("link"), state.link},
            {QStringLiteral("rate"),
             state.rate ? QJsonValue(static_cast<qint64>(state.rate)) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("window"), windowRuns}};
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + QLatin1Char('\n');
    }
    QString text;
    for (std::size_t i = 0; i < 4; ++i)
        text += QStringLiteral("%1  %2  %3 dB\n")
                    .arg(QLatin1String(kLevelNames[i]), -8)
                    .arg(static_cast<double>(state.levels[i]), 0, 'f', 3)
                    .arg(decibels[i] ? formatDecibels(*decibels[i]) : QStringLiteral("?"));
    const auto onOff = [](bool on) {
        return on ? QCoreApplication::translate("Command", "on") : QCoreApplication::translate("Command", "off");
    };
    text += QCoreApplication::translate("Command", "input mute  %1\noutput mute %2\nlink        %3\n")
                .arg(onOff(state.mutes[0]), onOff(state.mutes[1]), onOff(state.link));
    text += state.rate ? QCoreApplication::translate("Command", "rate        %1 Hz\n").arg(state.rate)
                       : QCoreApplication::translate("Command", "rate        none\n");
    text += windowRuns ? QCoreApplication::translate("Command", "window      open\n")
                       : QCoreApplication::translate("Command", "window      none\n");
    return text;
}

} // namespace

PresetState panelState(ATolvane &panel)
{
    panel.refreshAllProperties();
    PresetState state;
    for (std::size_t i = 0; i < 4; ++i)
        state.levels[i] = panel.currPreference.m_fLevel[i];
    for (std::size_t i = 0; i < 2; ++i)
        state.mutes[i] = panel.fChannelMute[i] && panel.fChannelMute[i]->state() == 1;
    state.link = panel.currPreference.m_nLink[0] == 1;
    const AButton *cell = panel.fSampleRate ? panel.fSampleRate->selectedCell() : nullptr;
    const auto tag = cell ? static_cast<std::size_t>(cell->tag()) : SampleRateByTag.size();
    state.rate = tag < SampleRateByTag.size() ? SampleRateByTag[tag] : 0;
    return state;
}

CommandReply applyPresetState(ATolvane &panel, const PresetState &state)
{
    // Unlinked while the faders move, so that each channel takes its own level.
    flipLink(panel, false);
    for (int i = 0; i < 4; ++i)
        moveFader(panel, i, state.levels[static_cast<std::size_t>(i)]);
    for (int i = 0; i < 2; ++i)
        pressMute(panel, i, state.mutes[static_cast<std::size_t>(i)]);
    flipLink(panel, state.link);
    return chooseRate(panel, state.rate);
}

CommandReply carryOutCommand(ATolvane &panel, const Command &command, bool windowRuns)
{
    if (command.preset == PresetAction::List) {
        const QStringList names = presetNames();
        return {kExitOk, names.isEmpty() ? QString() : names.join(QLatin1Char('\n')) + QLatin1Char('\n'), {}};
    }
    if (command.preset == PresetAction::Delete) {
        const QString error = deletePreset(command.presetName);
        return {error.isEmpty() ? kExitOk : kExitFailure, {}, error};
    }
    if (!panel.isAttached())
        return notAttached(panel);
    if (command.preset == PresetAction::Save) {
        const QString error = savePreset(command.presetName, panelState(panel));
        return {error.isEmpty() ? kExitOk : kExitFailure, {}, error};
    }
    if (command.preset == PresetAction::Load) {
        const LoadedPreset loaded = loadPreset(command.presetName);
        if (!loaded.state)
            return {kExitFailure, {}, loaded.error};
        return applyPresetState(panel, *loaded.state);
    }

    // Levels given in decibels become the device's own scalars before anything is written.
    std::vector<std::pair<int, float>> faders;
    for (const LevelChange &change : command.levels) {
        for (int index : change.pair ? std::vector{change.index, change.index ^ 1} : std::vector{change.index}) {
            std::optional<Float32> value = change.value;
            if (change.inDecibels)
                value = readFloat(panel, index, kAudioDevicePropertyVolumeDecibelsToScalar, change.value);
            if (!value)
                return {kExitNoInterface,
                        {},
                        QCoreApplication::translate("Command",
                                                    "The interface did not say which level is %1 dB; nothing changed.")
                            .arg(change.value)};
            faders.emplace_back(index, std::clamp(*value, 0.0f, 1.0f));
        }
    }

    CommandReply reply;
    if (command.defaults)
        panel.setToFactoryDefaults(nullptr);
    if (command.link)
        flipLink(panel, *command.link);
    for (const auto &[index, value] : faders)
        moveFader(panel, index, value);
    for (std::size_t i = 0; i < 2; ++i) {
        if (!command.mutes[i])
            continue;
        bool on = *command.mutes[i] == MuteChange::On;
        if (*command.mutes[i] == MuteChange::Toggle) {
            // From what the device holds now, which a change made elsewhere may have moved.
            panel.channelMuteChanged(static_cast<int>(i));
            on = !(panel.fChannelMute[i] && panel.fChannelMute[i]->state() == 1);
        }
        pressMute(panel, static_cast<int>(i), on);
    }
    if (command.rate)
        reply = chooseRate(panel, *command.rate);
    if (command.get)
        reply.out = describe(panel, panelState(panel), windowRuns, command.json);
    return reply;
}
