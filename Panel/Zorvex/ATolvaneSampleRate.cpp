#include "ATolvane.h"

#include "AButton.h"
#include "AMatrix.h"
#include "AStatusLine.h"
#include "ATextField.h"
#include "CoreAudio.h"
#include "PanelTables.h"

#include <cmath>
#include <vector>

namespace {

UInt32 rateForTag(SInt32 tag)
{
    // Compared as unsigned, so a negative tag is just another unknown tag.
    const UInt32 index = static_cast<UInt32>(tag);
    return index < SampleRateByTag.size() ? SampleRateByTag[index] : kDefaultSampleRate;
}

// The device's first stream of one side, or nothing when the list cannot be had.
std::optional<AudioStreamID> firstStream(AudioDeviceID device, UInt32 direction)
{
    UInt32 size = 0;
    if (AudioDeviceGetPropertyInfo(device, 0, static_cast<Boolean>(direction), kAudioDevicePropertyStreams, &size,
                                   nullptr)
            != noErr
        || size == 0)
        return std::nullopt;
    // Whole ids only: a size that is not a multiple of an id is rounded down.
    std::vector<AudioStreamID> streams(size / sizeof(AudioStreamID));
    if (streams.empty())
        return std::nullopt;
    size = static_cast<UInt32>(streams.size() * sizeof(AudioStreamID));
    if (AudioDeviceGetProperty(device, 0, static_cast<Boolean>(direction), kAudioDevicePropertyStreams, &size,
                               std::as_writable_bytes(std::span(streams)))
            != noErr
        || size < sizeof(AudioStreamID))
        return std::nullopt;
    return streams.front();
}

// Why a chosen rate did not reach the interface, by the status the format write answered:
// the short form for the rate text, the long one for its tool tip.
struct Unchanged {
    QString text;
    QString why;
};

Unchanged unchangedBecause(OSStatus status)
{
    if (status == kAudioHardwareNotRunningError)
        return {ATolvane::tr("No sound server"),
                ATolvane::tr("The rate did not change: no sound server keeps a rate for the interface, so each "
                             "program that opens it sets its own.")};
    if (status == kAudioHardwareIllegalOperationError)
        return {ATolvane::tr("Server keeps rate"),
                ATolvane::tr("The rate did not change: the sound server cannot switch the interface's rate.")};
    return {ATolvane::tr("Rate unchanged"), ATolvane::tr("The rate did not change: the system refused it.")};
}

} // namespace

void ATolvane::setSampleRate(QObject *sender)
{
    SInt32 tag = 0;
    if (auto *matrix = qobject_cast<AMatrix *>(sender)) {
        forcingOneSelect(matrix);
        const AButton *cell = matrix->selectedCell();
        tag = cell ? cell->tag() : -1;
    } else if (sender) {
        tag = sender->property("tag").toInt();
    }
    const UInt32 rate = rateForTag(tag);
    setHwSampleRate(rate, 1);
    setHwSampleRate(rate, 0);
}

void ATolvane::forcingOneSelect(AMatrix *matrix)
{
    if (!matrix)
        return;
    const AButton *cell = matrix->selectedCell();
    const int tag = cell ? cell->tag() : -1;
    matrix->deselectAllCells();
    matrix->selectCellWithTag(tag);
}

OSStatus ATolvane::setHwSampleRate(UInt32 rate, UInt32 direction)
{
    if (direction > 1)
        return kAudioHardwareBadStreamError;
    const AudioDeviceID device = fDeviceId[direction];
    const std::optional<AudioStreamID> stream = firstStream(device, direction);
    if (!stream)
        return kAudioHardwareBadStreamError;

    UInt32 size = 0;
    if (const OSStatus status = AudioDeviceGetPropertyInfo(device, 0, static_cast<Boolean>(direction),
                                                           kAudioStreamPropertyPhysicalFormats, &size, nullptr);
        status != noErr)
        return status;
    std::vector<AudioStreamBasicDescription> formats(size / sizeof(AudioStreamBasicDescription));
    if (formats.empty())
        return kAudioDeviceUnsupportedFormatError;
    size = static_cast<UInt32>(formats.size() * sizeof(AudioStreamBasicDescription));
    if (const OSStatus status
        = AudioDeviceGetProperty(device, 0, static_cast<Boolean>(direction), kAudioStreamPropertyPhysicalFormats, &size,
                                 std::as_writable_bytes(std::span(formats)));
        status != noErr)
        return status;
    // The device may fill fewer records than it announced; only those filled count.
    formats.resize(size / sizeof(AudioStreamBasicDescription));

    for (const AudioStreamBasicDescription &format : formats) {
        if (format.mSampleRate == static_cast<Float64>(rate)) {
            const OSStatus status = AudioStreamSetProperty(*stream, nullptr, 0, kAudioStreamPropertyPhysicalFormat,
                                                           sizeof(format), bytesOf(format));
            if (status != noErr) {
                // The matrix shows the choice, which went nowhere: it goes back to what the
                // interface runs at, and the text says why.
                sampleRateChanged(0);
                const Unchanged unchanged = unchangedBecause(status);
                showRateText(unchanged.text, unchanged.why);
            }
            return status;
        }
    }
    return kAudioDeviceUnsupportedFormatError;
}

void ATolvane::sampleRateChanged(UInt32 direction)
{
    if (direction > 1)
        return;
    const std::optional<AudioStreamID> stream = firstStream(fDeviceId[direction], direction);
    if (!stream)
        return;
    AudioStreamBasicDescription format;
    UInt32 size = sizeof(format);
    const OSStatus status
        = AudioStreamGetProperty(*stream, 0, kAudioStreamPropertyPhysicalFormat, &size, bytesOf(format));
    if (status == kAudioHardwareNotRunningError) {
        // Nothing streams and nothing keeps a rate for the interface: no cell is true.
        if (fSampleRate)
            fSampleRate->deselectAllCells();
        showRateText(tr("No rate"), tr("No program streams to the interface and no sound server keeps a rate for it."));
        return;
    }
    if (status != noErr || size != sizeof(format))
        return;

    // Classed on the truncated rate in double precision, so that a rate no 32-bit number holds
    // still lands in a class, and one that is not a number lands in the lowest.
    const Float64 r = std::trunc(format.mSampleRate);
    int tag = 2;
    if (r > 92000)
        tag = 0;
    else if (r > 46000)
        tag = 1;
    if (fSampleRate) {
        fSampleRate->deselectAllCells();
        fSampleRate->selectCellWithTag(tag);
    }
    showRateText(tr("%1 Hz").arg(SampleRateByTag[static_cast<std::size_t>(tag)]), {});
}

void ATolvane::showRateText(const QString &text, const QString &why)
{
    if (!fSampleText)
        return;
    const QString before = fSampleText->stringValue();
    fSampleText->setStringValue(text);
    fSampleText->setExplanation(why);
    // The first text after an attach is no news; a later change, the answer to a choice, is.
    if (fStatusLine && !before.isEmpty() && before != text)
        fStatusLine->announce(why.isEmpty() ? tr("Sample rate %1").arg(text) : tr("%1. %2").arg(text, why));
}
