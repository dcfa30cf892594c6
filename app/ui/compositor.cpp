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

bool X11CancelWindowMove(unsigned long window) {
  auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display* display = x11 ? x11->display() : nullptr;
  if (!display || !window) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;  // the window moved, not the root
  event.xclient.message_type = XInternAtom(display, "_NET_WM_MOVERESIZE", False);
  event.xclient.format = 32;
  event.xclient.data.l[2] = 11;  // _NET_WM_MOVERESIZE_CANCEL
  event.xclient.data.l[3] = 1;   // the left button
  event.xclient.data.l[4] = 1;   // from a normal program
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(display);
  return true;
}

}  // namespace app
