// window_procedure.h -- what the program's window does with each message
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The procedure of the window class: resizes on msg_size, ends the program on a
// key press (not in a host's window, whose owner ends it) or close request, and
// for a screensaver that ends on the mouse (window_options) on a click or a move
// of more than a few pixels; retitles with the frame rate on timer 1 (not a host's
// window's title), answers the
// window-menu, screensaver and monitor-power system commands itself (they do
// nothing), and hands everything else to the platform's default handling.
// Called by the platform only.
std::intptr_t window_procedure(PlatformWindow* window, std::uint32_t message,
                               std::uintptr_t wparam, std::intptr_t lparam);
