// sdl_message_box.cpp -- the error box on SDL2, in a file of its own so a headless tool can put its own in place
#include <SDL.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/platform_sdl_internal.h"

static bool is_set(const char* name)
{
    const char* value = SDL_getenv(name);
    return value && value[0] != '\0';
}

static bool can_show_box()
{
    if (sdl_is_headless_driver(SDL_GetCurrentVideoDriver()) ||
        sdl_is_headless_driver(SDL_getenv("SDL_VIDEODRIVER"))) {
        return false;
    }
    // A helper program SDL may ask for the box (zenity) reports a display it
    // could not open as a box shown: where DISPLAY names one, it must open.
    if (is_set("DISPLAY")) {
        return x11_display_opens();
    }
    return is_set("WAYLAND_DISPLAY");
}

void platform_message_box(const char* text, const char* caption)
{
    // Nothing may wait on a box that nobody can see: without a display, or when
    // the box itself fails (X11 boxes need core fonts), the text goes to stderr.
    if (can_show_box() &&
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr) == 0) {
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
}
