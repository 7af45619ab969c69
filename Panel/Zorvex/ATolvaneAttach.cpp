#include "ATolvane.h"

#include "AButton.h"
#include "AMatrix.h"
#include "Preference.h"

namespace {

Preference factoryDefaults()
{
    Preference p;
    p.m_fLevel[0] = p.m_fLevel[1] = 0.59f;
    p.m_fLevel[2] = p.m_fLevel[3] = 1.0f;
    p.m_nMute[0] = p.m_nMute[1] = 0;
    p.m_nLink[0] = 1;
    return p;
}

} // namespace

void ATolvane::setToFactoryDefaults(QObject *)
{
    currPreference = factoryDefaults();
    for (int i = 0; i < 4; ++i)
        appliedChannelLevel(i);
    for (int i = 0; i < 2; ++i)
        appliedChannelMute(i);
    setHwSampleRate(kFactorySampleRate, 1);
    setHwSampleRate(kFactorySampleRate, 0);
    setPreference();
    refreshAllProperties();
}

void ATolvane::refreshAllProperties()
{
    if (fChannelLink)
        fChannelLink->setState(currPreference.m_nLink[0]);
    if (fChannelIn)
        fChannelIn->deselectAllCells();
    inputSampleRateChanged();
    outputSampleRateChanged();
    channel1LevelChanged();
    channel2LevelChanged();
    channel3LevelChanged();
    channel4LevelChanged();
    channel1MuteChanged();
    channel2MuteChanged();
}
