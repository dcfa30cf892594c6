#include "app/ui/compositor.h"

#include <QGuiApplication>

#include <cstdio>

// After Qt: Xlib's macros (None, Bool, …) would clash with Qt's names.
#include <X11/Xlib.h>

namespace app {

bool X11HasCompositor() {
  auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display* display = x11 ? x11->display() : nullptr;
  if (!display) return false;
  // A compositing manager owns the selection _NET_WM_CM_S<screen>.
  char name[32];
  snprintf(name, sizeof name, "_NET_WM_CM_S%d", DefaultScreen(display));
  const Atom selection = XInternAtom(display, name, False);
  return XGetSelectionOwner(display, selection) != 0;
}

}  // namespace app
