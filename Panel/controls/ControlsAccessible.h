#pragma once

// What assistive technologies (at-spi through Qt) see of the panel's controls: each fader is a
// slider with a settable value, and the window's decorations (plates, slots, ticks, scale
// figures) are left out of the tree. Installed once per process by the controls themselves.
void installControlsAccessibility();

class QString;

// A figure as assistive technologies read it: with its unit after a space ("-9.1 dB"), or
// alone when either is missing.
QString withUnit(const QString &text, const QString &unit);
