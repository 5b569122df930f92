// gl_window.h -- the one window, its GL context, and its viewport and projection
#pragma once

#include <cstdint>

// The box shown when the display cannot be switched: the demo goes on in a
// window, so a program that keeps the boxes to itself (the capture) lets this
// one pass.
constexpr char fullscreen_refused_box[] = "unable To switch to fullscreen!";

// Registers the class, switches the display (full screen), creates and shows the
// window with a double-buffered RGBA, 16-bit depth GL context made current, starts
// the one-second timer and sets the viewport. False after a message box (or two),
// a teardown of whatever was built; window_failure_reason then says why. Called
// once by start-up.
bool window_create(std::int32_t width, std::int32_t height, std::uint8_t color_bits,
                   bool fullscreen);

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
