#pragma once

class ATolvane;

// The window's context menu on its background: save the device's state as a preset, load a
// saved one, delete one. The window's layout is left as it is.
void installPresetMenu(ATolvane &panel);
