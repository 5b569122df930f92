// gl_window.h -- the one window, its GL context, and its viewport and projection
#pragma once

#include <cstdint>

#include "app/run_options.h"

// The box shown when the display cannot be switched: the demo goes on in a
// window, so a program that keeps the boxes to itself (the capture) lets this
// one pass.
constexpr char fullscreen_refused_box[] = "unable To switch to fullscreen!";

// Registers the class, switches the display (full screen), creates and shows the
// window with a double-buffered RGBA, 16-bit depth GL context made current, starts
// the one-second timer and sets the viewport. False after a message box (or two),
// a teardown of whatever was built; window_failure_reason then says why. Called
// once by start-up. A window (--window) or a host's window shows the picture
// scaled: no display switch, the cursor left alone, `fullscreen` not used.
bool window_create(std::int32_t width, std::int32_t height, std::uint8_t color_bits,
                   bool fullscreen, const RunOptions& options = RunOptions{});

// The options the last window_create was given.
const RunOptions& window_options();
// True when the picture is shown scaled (a window or a host's window).
bool window_scaled();
// True when the last window_create failed because the host's window it was
// given does not exist or is not a window; no box was shown for it.
bool window_host_refused();

// The platform's reason for the step that made the last window_create fail, taken
// right at that step ("" when the platform gave none, or nothing failed).
const char* window_failure_reason();

// Releases everything window_create built, in a fixed order; every failure shows
// its own box and the teardown goes on. Called on a close request and by failed
// creations.
void window_teardown(bool fullscreen);

// Viewport and 45-degree perspective for a client area of width x height (a
// height of 0 counts as 1); leaves GL_MODELVIEW current with the identity.
void window_resize(std::int32_t width, std::int32_t height);
