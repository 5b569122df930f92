// gl_context.cpp -- the program's own window and GL context for tests, headless
#include "tests/gl/gl_context.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "app/gl_window.h"
#include "state/app_state.h"

void open_test_context()
{
    static bool opened = false;
    if (!opened) {
        opened = window_create(800, 600, 32, true);
    }
    ASSERT_TRUE(opened) << "no GL context from the offscreen driver";
}

std::array<std::uint8_t, 4> read_pixel(int x, int y)
{
    std::array<std::uint8_t, 4> rgba{};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}
