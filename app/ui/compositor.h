// What the program asks of the X11 desktop it runs on.
#pragma once

namespace app {

// Whether a compositing manager runs on the X11 display of the program.
bool X11HasCompositor();
// Tells the window manager to end a move of `window` it was asked to start
// (_NET_WM_MOVERESIZE_CANCEL). False when there is no X11 display.
bool X11CancelWindowMove(unsigned long window);

}  // namespace app
