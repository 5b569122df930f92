/* grab_server.c -- holds the X server grabbed for a while: every other client's requests wait, as behind a stuck driver */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: grab_server MILLISECONDS\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "grab_server: cannot open display\n");
        return 1;
    }
    XGrabServer(display);
    XSync(display, False);
    /* Said once the grab is in force, so the caller knows when to go on. */
    printf("grabbed\n");
    fflush(stdout);
    usleep((useconds_t)strtoul(argv[1], NULL, 10) * 1000u);
    XUngrabServer(display);
    XCloseDisplay(display);
    return 0;
}
