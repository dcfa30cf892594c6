// Finding the program's windows on a test's X display. Include after gtest
// and Qt: X11 defines macros (None, Bool) that their headers use as names.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>

namespace testsupport {

// The first mapped window under `from` whose name holds `part`; 0 when none.
inline Window FindWindowNamed(Display* display, Window from, const std::string& part) {
  char* name = nullptr;
  if (XFetchName(display, from, &name) && name) {
    const bool match = std::string(name).find(part) != std::string::npos;
    XFree(name);
    XWindowAttributes a;
    if (match && XGetWindowAttributes(display, from, &a) && a.map_state == IsViewable) return from;
  }
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (XQueryTree(display, from, &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !found; ++i)
      found = FindWindowNamed(display, children[i], part);
    if (children) XFree(children);
  }
  return found;
}

}  // namespace testsupport
