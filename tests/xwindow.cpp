// Small X11 helper for the viewer's tests:
//   xwindow wait SECONDS   prints the first mapped top-level window's id
//   xwindow close ID       asks that window to close, as a window manager
//                          does when its close button is pressed
//   xwindow probe 0        succeeds once the X server takes connections
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static Window MappedTopLevel(Display* display) {
  Window root, parent, *children = nullptr, found = 0;
  unsigned int count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent,
                  &children, &count))
    return 0;
  for (unsigned int i = 0; i < count && !found; ++i) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, children[i], &attributes) &&
        attributes.map_state == IsViewable)
      found = children[i];
  }
  if (children) XFree(children);
  return found;
}

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: xwindow wait SECONDS | close ID | probe 0\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 3;
  // Windows may vanish while they are looked at: that is no error here.
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  int status = 2;
  if (std::strcmp(argv[1], "probe") == 0) status = 0;
  if (std::strcmp(argv[1], "wait") == 0) {
    status = 1;
    for (int tries = std::atoi(argv[2]) * 20; tries > 0; --tries) {
      if (Window w = MappedTopLevel(display)) {
        std::printf("%lu\n", w);
        status = 0;
        break;
      }
      usleep(50000);
    }
  }
  if (std::strcmp(argv[1], "close") == 0) {
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = std::strtoul(argv[2], nullptr, 10);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XSync(display, False);
    status = 0;
  }
  XCloseDisplay(display);
  return status;
}
