#pragma once
// The panels on screen while the GUI is shown.

// Every panel over the frame, in the reverse of the order in which the
// message routing offers them a message: the panel that gets a click first
// is drawn last, on top, and the device-settings dialog, while active,
// above all. Draws nothing while the GUI is hidden or before the device
// manager has its sprite.
void DrawPanels(float elapsed);
