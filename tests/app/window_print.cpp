// window_print WINDOW: prints "WIDTHxHEIGHT HASH" of a window's pixels as
// they are on screen, so that a script can tell two windows' contents apart.
// Exit 1 when the window cannot be read.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }  // the window may be gone
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: window_print WINDOW\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 1;
  XSetErrorHandler(IgnoreErrors);
  const Window window = strtoul(argv[1], nullptr, 0);
  XWindowAttributes a;
  if (!XGetWindowAttributes(display, window, &a) || a.map_state != IsViewable) return 1;
  XImage* image = XGetImage(display, window, 0, 0, unsigned(a.width), unsigned(a.height),
                            AllPlanes, ZPixmap);
  if (!image) return 1;
  uint64_t hash = 14695981039346656037ull;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      hash ^= XGetPixel(image, x, y) & 0xffffff;
      hash *= 1099511628211ull;
    }
  XDestroyImage(image);
  XCloseDisplay(display);
  printf("%dx%d %016llx\n", a.width, a.height, static_cast<unsigned long long>(hash));
  return 0;
}
