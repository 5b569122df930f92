// x11_host_window.cpp -- the window another program gives the demo to draw into: is it one, and its changes
#include <X11/Xlib.h>

#include <cstdio>

#include "platform/platform_sdl_internal.h"

static bool host_missing = false;

static int note_missing_host(Display*, XErrorEvent*)
{
    host_missing = true;
    return 0;
}

bool x11_find_host_window(unsigned long requested, unsigned long* window, char* reason,
                          std::size_t size)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::snprintf(reason, size, "the display cannot be opened");
        return false;
    }
    *window = requested != 0 ? requested : DefaultRootWindow(display);
    // A wrong id is an X error, which the demo's own handler would take for a
    // broken connection: it is caught here, on a connection of this check's own.
    host_missing = false;
    XErrorHandler previous = XSetErrorHandler(note_missing_host);
    XWindowAttributes attributes{};
    const Status found = XGetWindowAttributes(display, *window, &attributes);
    XSync(display, False);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    if (!found || host_missing || attributes.c_class != InputOutput) {
        std::snprintf(reason, size, "0x%lx is not a window", *window);
        return false;
    }
    return true;
}

void x11_follow_host_window(_XDisplay* display, unsigned long window)
{
    // Each client has its own event mask on a window: this one adds the
    // structure changes for the demo's connection and leaves the owner's alone.
    XSelectInput(display, window, StructureNotifyMask);
    XFlush(display);
}
