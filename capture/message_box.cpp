// message_box.cpp -- quorvex-capture's message box: nothing shown, the first complaint kept
#include "capture/message_box.h"

#include <cstring>

#include "app/gl_window.h"
#include "platform/platform.h"

static StartupError first;

// Replaces the SDL platform's box at link time: a headless tool has nobody to
// show it to. The capture reports the first one itself.
void platform_message_box(const char* text, const char*)
{
    // A driver that offers no display modes gets a window instead of the full
    // screen, after this box: the start-up goes on and the frames are the same.
    if (first.raised || std::strcmp(text, fullscreen_refused_box) == 0) {
        return;
    }
    first.raised = true;
    first.text = text;
}

const StartupError& first_startup_error()
{
    return first;
}
