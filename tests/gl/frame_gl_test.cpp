// frame_gl_test.cpp -- whole frames through the program's own start-up and frame body, read back
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <map>

#include "app/frame_loop.h"
#include "platform/platform.h"
#include "state/app_state.h"
#include "tests/gl/render_checks.h"

namespace {

using Rgb = std::array<int, 3>;
using Float4 = std::array<GLfloat, 4>;

Rgb rgb(const Picture& picture, int x, int y)
{
    auto c = picture.at(x, y);
    return {c[0], c[1], c[2]};
}

// One frame as run_frame makes it (one message, the frame step, the swap),
// with the picture read before the swap; the 2 ms sleep is left out.
Picture run_frame_and_read()
{
    if (platform_peek_message(&app.message)) {
        platform_dispatch_message(&app.message);
    }
    draw_frame();
    Picture picture = read_picture();
    platform_swap_buffers(app.dc);
    return picture;
}

// The same frame with `list` in place of the torus.
Picture run_frame_with_list_and_read(std::uint32_t list)
{
    std::uint32_t torus = app.torus_list;
    app.torus_list = list;
    Picture picture = run_frame_and_read();
    app.torus_list = torus;
    return picture;
}

void run_frames_until(int& frame, int last)
{
    while (frame < last) {
        run_frame();
        ++frame;
    }
}

void expect_all_white(const Picture& picture, int frame)
{
    int wrong = 0;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            if (rgb(picture, x, y) != Rgb{255, 255, 255} && wrong++ < 3) {
                ADD_FAILURE() << "frame " << frame << ": pixel " << x << "," << y
                              << " is not white";
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "frame " << frame;
}

// The most common colour of the picture and the colours of its four corners.
void expect_background(const Picture& picture, Rgb background, int frame)
{
    for (auto [x, y] : {std::array<int, 2>{0, 0}, {799, 0}, {0, 599}, {799, 599}}) {
        EXPECT_EQ(rgb(picture, x, y), background) << "frame " << frame << " corner " << x << "," << y;
    }
    std::map<Rgb, int> counts;
    for (int y = 0; y < 600; y += 2) {
        for (int x = 0; x < 800; x += 2) {
            ++counts[rgb(picture, x, y)];
        }
    }
    auto most = counts.begin();
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        if (it->second > most->second) {
            most = it;
        }
    }
    EXPECT_EQ(most->first, background) << "frame " << frame;
}

}  // namespace

// One run of the program's frames, from start-up through a whole cycle of
// both scenes and into the next Scene A (682 frames, about 15 s on llvmpipe).
TEST(Frames, AWholeCycleFromStartUp)
{
    start_up();
    // The first frame's Scene A inherits the fade quad's blend function.
    EXPECT_EQ(gl_integer(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(gl_integer(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);

    int frame = 1;
    expect_all_white(run_frame_and_read(), frame);

    // Frame 2 fades with 0.95: nothing darker than 0.95 of white.
    Picture second = run_frame_and_read();
    ++frame;
    int darkest = 255;
    for (std::uint8_t v : second.rgba) {
        darkest = std::min<int>(darkest, v);
    }
    EXPECT_GE(darkest, 241);

    // By frame 30 the fade is invisible. Scene A is drawn over its dark blue
    // with nothing but additive steps, so no pixel has less blue than that.
    run_frames_until(frame, 29);
    Picture scene_a = run_frame_and_read();
    ++frame;
    EXPECT_EQ(gl_float4(GL_COLOR_CLEAR_VALUE), (Float4{0.0f, 0.0f, 0.3f, 0.5f}));
    int dark_blue = 255;
    for (std::size_t i = 2; i < scene_a.rgba.size(); i += 4) {
        dark_blue = std::min<int>(dark_blue, scene_a.rgba[i]);
    }
    EXPECT_GE(dark_blue, 76);

    Picture background_a = run_frame_with_list_and_read(0);
    ++frame;
    int blue = rgb(background_a, 0, 0)[2];
    EXPECT_TRUE(blue == 76 || blue == 77) << blue;
    expect_background(background_a, {0, 0, blue}, frame);

    // Scene A runs to frame 340; frame 341 is the first of Scene B.
    run_frames_until(frame, 340);
    EXPECT_EQ(gl_float4(GL_COLOR_CLEAR_VALUE), (Float4{0.0f, 0.0f, 0.3f, 0.5f}));
    run_frame_and_read();
    ++frame;
    EXPECT_EQ(frame, 341);
    EXPECT_EQ(gl_float4(GL_COLOR_CLEAR_VALUE), (Float4{0.0f, 0.0f, 0.0f, 0.5f}));

    Picture background_b = run_frame_with_list_and_read(0);
    ++frame;
    expect_background(background_b, {0, 0, 0}, frame);

    // A square in place of the torus: with no texture coordinates of its own it
    // takes one colour all over, and Scene B adds its outline in that colour
    // again. So the picture holds many pixels of that colour and an outline of
    // twice it (clamped), besides the glows of the panels and the logo.
    Picture square = run_frame_with_list_and_read(compile_square(3.0f));
    ++frame;
    std::map<Rgb, int> counts;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            ++counts[rgb(square, x, y)];
        }
    }
    counts.erase(Rgb{0, 0, 0});
    auto fill = counts.begin();
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        if (it->second > fill->second) {
            fill = it;
        }
    }
    EXPECT_GT(fill->second, 3000) << "frame " << frame;
    EXPECT_GT(fill->first[1], 20) << "frame " << frame;  // the tint's green is always 1
    int outline = 0;
    for (const auto& [colour, count] : counts) {
        bool doubled = true;
        for (int k = 0; k < 3; ++k) {
            doubled = doubled && std::abs(colour[k] - std::min(255, 2 * fill->first[k])) <= 1;
        }
        outline += doubled ? count : 0;
    }
    EXPECT_GT(outline, 150) << "frame " << frame;

    // Back to Scene A at frame 682, through white: the fade level is about 1.05.
    run_frames_until(frame, 681);
    Picture change_over = run_frame_and_read();
    ++frame;
    EXPECT_EQ(frame, 682);
    EXPECT_EQ(gl_float4(GL_COLOR_CLEAR_VALUE), (Float4{0.0f, 0.0f, 0.3f, 0.5f}));
    expect_all_white(change_over, frame);
}
