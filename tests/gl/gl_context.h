// gl_context.h -- the program's own window and GL context for tests, headless
#pragma once

#include <array>
#include <cstdint>

// Creates the window and context once per process through window_create, on
// SDL's offscreen driver (EGL on Mesa: exactly the 16 depth bits asked for).
// Fails the calling test when no context can be had.
void open_test_context();

// The colour at window pixel (x, y), counted from the bottom left, as RGBA bytes.
std::array<std::uint8_t, 4> read_pixel(int x, int y);
