#pragma once

// Registers the pictures compiled into the panel's library; safe to call more than once.
void initPanelResources();
