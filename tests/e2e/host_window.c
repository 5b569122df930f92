/* host_window.c -- a window made as a screensaver makes one for its hack: prints its id, then takes commands */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The id goes to stdout once the window is mapped; then each line on stdin is
   a command: "unmap", "map", "destroy". End of input ends it (and the window). */
int main(int argc, char** argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: host_window WIDTH HEIGHT TITLE\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "host_window: cannot open display\n");
        return 1;
    }
    unsigned width = (unsigned)strtoul(argv[1], NULL, 10);
    unsigned height = (unsigned)strtoul(argv[2], NULL, 10);
    /* A white background: wherever the hack draws nothing, the window is not black. */
    Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, width, height, 0,
                                        0, WhitePixel(display, DefaultScreen(display)));
    XStoreName(display, window, argv[3]);
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    XEvent event;
    do {
        XNextEvent(display, &event);
    } while (event.type != MapNotify);
    printf("0x%lx\n", window);
    fflush(stdout);
    char line[64];
    while (fgets(line, sizeof line, stdin)) {
        if (strncmp(line, "unmap", 5) == 0) {
            XUnmapWindow(display, window);
        } else if (strncmp(line, "map", 3) == 0) {
            XMapWindow(display, window);
        } else if (strncmp(line, "destroy", 7) == 0) {
            XDestroyWindow(display, window);
        }
        XSync(display, False);
    }
    XCloseDisplay(display);
    return 0;
}
