/* host_window.c -- a window made as a screensaver makes one: prints its id, then obeys "unmap", "map", "destroy" on stdin */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv)
{
    Display* display = argc == 4 ? XOpenDisplay(NULL) : NULL;
    if (!display) {
        fprintf(stderr, "usage: host_window WIDTH HEIGHT TITLE (with a display)\n");
        return 2;
    }
    /* White: wherever the hack draws nothing, the window is not black. */
    Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, (unsigned)atoi(argv[1]),
                                        (unsigned)atoi(argv[2]), 0, 0, WhitePixel(display, 0));
    XStoreName(display, window, argv[3]);
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    for (XEvent event; XNextEvent(display, &event), event.type != MapNotify;) {
    }
    printf("0x%lx\n", window);
    fflush(stdout);
    for (char line[64]; fgets(line, sizeof line, stdin); XSync(display, False)) {
        if (strncmp(line, "unmap", 5) == 0) XUnmapWindow(display, window);
        if (strncmp(line, "map", 3) == 0) XMapWindow(display, window);
        if (strncmp(line, "destroy", 7) == 0) XDestroyWindow(display, window);
    }
    return 0;
}
