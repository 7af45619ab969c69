#include "ATolvane.h"

#include "AButton.h"
#include "ARoundButtonSlider.h"
#include "AStatusLine.h"
#include "ATextField.h"
#include "CoreAudio.h"
#include "PanelTables.h"

#include <QAccessible>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

template <class T, std::size_t N>
int indexOfSender(const std::array<T *, N> &controls, QObject *sender)
{
    if (!sender)
        return -1;
    const auto it = std::find(controls.begin(), controls.end(), sender);
    return it == controls.end() ? -1 : static_cast<int>(it - controls.begin());
}

// Room for "%+.1f" of any float: a sign, 39 digits, the point and one decimal.
using DecibelText = std::array<char, 48>;

// "%+.1f" without printf, which costs more than the rest of a fader step. A float widened to
// double and multiplied by ten is exact (24 + 4 bits of mantissa), so rounding that product to
// the nearest integer, ties to even, gives printf's digits; the test compares them at length.
// Into the caller's buffer: a read-out that already shows the text needs no string made.
QLatin1String formatDecibelsInto(Float32 decibels, DecibelText &buffer)
{
    const double value = static_cast<double>(decibels);
    const double tenths = std::nearbyint(std::fabs(value) * 10.0);
    char *text = buffer.data();
    if (!std::isfinite(value) || tenths >= 1e15) {
        const int n = std::snprintf(text, buffer.size(), "%+.1f", value);
        return QLatin1String(text, std::clamp(n, 0, static_cast<int>(buffer.size()) - 1));
    }
    auto whole = static_cast<std::uint64_t>(tenths);
    const char fraction = static_cast<char>('0' + whole % 10);
    whole /= 10;
    char digits[24];
    char *end = digits + sizeof(digits);
    char *first = end;
    do {
        *--first = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    char *out = text;
    *out++ = std::signbit(value) ? '-' : '+';
    out = std::copy(first, end, out);
    *out++ = '.';
    *out++ = fraction;
    return QLatin1String(text, static_cast<qsizetype>(out - text));
}

} // namespace

QString formatDecibels(Float32 decibels)
{
    DecibelText buffer;
    return QString(formatDecibelsInto(decibels, buffer));
}

namespace {

bool validLevelIndex(int index)
{
    return index >= 0 && index < 4;
}

} // namespace

void ATolvane::setChannelLevel(QObject *sender)
{
    const int i = indexOfSender(fChannelLevel, sender);
    if (i < 0)
        return;
    currPreference.m_fLevel[i] = static_cast<float>(fChannelLevel[i]->doubleValue());
    appliedChannelLevel(i);
    if (currPreference.m_nLink[0] != 1)
        return;
    // The partner takes what the device stored for the moved channel, not the raw control
    // value, so both channels of the pair end on the same device step.
    const int p = i ^ 1;
    currPreference.m_fLevel[p] = currPreference.m_fLevel[i];
    if (fChannelLevel[p])
        fChannelLevel[p]->setDoubleValue(static_cast<double>(currPreference.m_fLevel[p]));
    appliedChannelLevel(p);
}

void ATolvane::appliedChannelLevel(int i)
{
    if (!validLevelIndex(i))
        return;
    const ChannelProperty &row = ChannelPropertyTable[static_cast<std::size_t>(i)];
    const Float32 value = currPreference.m_fLevel[i];
    AudioDeviceSetProperty(fDeviceId[row.levelDirection], nullptr, row.levelChannel, row.levelDirection,
                           row.levelProperty, sizeof(value), bytesOf(value));
    channelLevelChanged(i);
}

void ATolvane::channelLevelChanged(int i)
{
    if (!validLevelIndex(i))
        return;
    const ChannelProperty &row = ChannelPropertyTable[static_cast<std::size_t>(i)];
    const AudioDeviceID device = fDeviceId[row.levelDirection];

    Float32 level = 0;
    UInt32 size = sizeof(level);
    if (AudioDeviceGetProperty(device, row.levelChannel, row.levelDirection, row.levelProperty, &size, bytesOf(level))
            == noErr
        && size == sizeof(level)) {
        currPreference.m_fLevel[i] = level;
        ARoundButtonSlider *slider = fChannelLevel[static_cast<std::size_t>(i)];
        // The user's hand wins over a value coming back from the device.
        if (slider && !slider->isDragging())
            slider->setDoubleValue(static_cast<double>(level));
    }

    Float32 decibels = 0;
    size = sizeof(decibels);
    if (AudioDeviceGetProperty(device, row.decibelChannel, row.levelDirection, row.decibelProperty, &size,
                               bytesOf(decibels))
            == noErr
        && size == sizeof(decibels)) {
        if (ATextField *readout = fChannelDB[static_cast<std::size_t>(i / 2)]) {
            DecibelText buffer;
            readout->setStringValue(formatDecibelsInto(decibels, buffer));
            // Each fader speaks its own channel's level, which the shared read-out may not show.
            if (ARoundButtonSlider *slider = fChannelLevel[static_cast<std::size_t>(i)];
                slider && slider->setValueText(readout->stringValue(), readout->unit()))
                announceLevelOf(slider);
        }
    }
}

void ATolvane::announceLevelOf(const ARoundButtonSlider *slider)
{
    // Orca 43 speaks a focused fader's step as the bare number and cannot speak the changed
    // value text that Qt 6.4 sends, so the level in dB goes out as news. Only for the fader
    // under the user's hand: a linked partner or a change made elsewhere to a fader out of
    // focus would talk over it. Without an assistive technology a drag step pays one call.
    if (!QAccessible::isActive() || !fStatusLine || !slider->hasFocus() || !isActiveWindow())
        return;
    fStatusLine->announce(slider->valueText());
}

void ATolvane::setChannelMute(QObject *sender)
{
    const int i = indexOfSender(fChannelMute, sender);
    if (i < 0)
        return;
    currPreference.m_nMute[i] = static_cast<std::int32_t>(fChannelMute[static_cast<std::size_t>(i)]->state());
    appliedChannelMute(i);
}

void ATolvane::appliedChannelMute(int i)
{
    if (i < 0 || i > 1)
        return;
    const ChannelProperty &row = ChannelPropertyTable[static_cast<std::size_t>(i)];
    const UInt32 mute = static_cast<UInt32>(currPreference.m_nMute[i]);
    AudioDeviceSetProperty(fDeviceId[row.muteDirection], nullptr, row.muteChannel, row.muteDirection, row.muteProperty,
                           sizeof(mute), bytesOf(mute));
}

void ATolvane::channelMuteChanged(int i)
{
    if (i < 0 || i > 1)
        return;
    const ChannelProperty &row = ChannelPropertyTable[static_cast<std::size_t>(i)];
    UInt32 mute = 0;
    UInt32 size = sizeof(mute);
    if (AudioDeviceGetProperty(fDeviceId[row.muteDirection], row.muteChannel, row.muteDirection, row.muteProperty,
                               &size, bytesOf(mute))
            == noErr
        && size == sizeof(mute)) {
        if (AButton *button = fChannelMute[static_cast<std::size_t>(i)])
            button->setState(static_cast<int>(mute));
    }
}

void ATolvane::setChannelLink(QObject *sender)
{
    auto *button = qobject_cast<AButton *>(sender);
    if (!button)
        return;
    currPreference.m_nLink[0] = static_cast<std::int32_t>(button->state());
    saveLinkFlag();
}
