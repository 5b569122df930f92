// message_box.cpp -- quorvex-capture's message box: nothing shown, the first complaint kept
#include "capture/message_box.h"

#include <cstring>

#include "app/gl_window.h"
#include "platform/platform.h"

static std::optional<std::string> first;

// Replaces the SDL platform's box at link time: a headless tool has nobody to
// show it to.
void platform_message_box(const char* text, const char*)
{
    // A driver that offers no display modes gets a window instead of the full
    // screen, after this box: the start-up goes on and the frames are the same.
    if (!first && std::strcmp(text, fullscreen_refused_box) != 0) {
        first = text;
    }
}

const std::optional<std::string>& first_startup_box()
{
    return first;
}
