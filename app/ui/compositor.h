// Whether a compositing manager runs on the X11 display of the program.
#pragma once

namespace app {

bool X11HasCompositor();

}  // namespace app
