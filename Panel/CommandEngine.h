#pragma once

// Carries a command out on a woken panel, shown or not, through the controls' own actions, so
// that the link, the read-outs and the stored link flag behave as when the user moves them.

#include "Command.h"
#include "Presets.h"

#include <QString>

class ATolvane;

struct CommandReply {
    int status = kExitOk;
    QString out; // for stdout
    QString err; // for stderr
};

CommandReply carryOutCommand(ATolvane &panel, const Command &command, bool windowRuns);

// The device's state as the window shows it, read back afresh.
PresetState panelState(ATolvane &panel);
// Sets the whole state as a user would in the window: link off, the faders, the mutes, the
// link, the rate. kExitOk or kExitRateRefused, with why in `err`.
CommandReply applyPresetState(ATolvane &panel, const PresetState &state);
