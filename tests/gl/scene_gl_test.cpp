// scene_gl_test.cpp -- both scenes and the logo overlay on stand-in shapes, read back
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

#include "app/frame_loop.h"
#include "render/render_state.h"
#include "render/scene_a.h"
#include "render/scene_b.h"
#include "render/scene_common.h"
#include "state/app_state.h"
#include "tests/gl/gl_context.h"
#include "tests/gl/render_checks.h"

namespace {

using Float4 = std::array<GLfloat, 4>;

// Window-space rectangle, in pixels from the bottom left.
struct Box {
    double left, right, bottom, top;
    bool contains(int x, int y, double margin) const
    {
        return x + 0.5 >= left - margin && x + 0.5 <= right + margin &&
               y + 0.5 >= bottom - margin && y + 0.5 <= top + margin;
    }
};

// Where an eye-space point lands under gluPerspective(45, 800/600, 1, 100) in
// the 800x600 viewport.
std::array<double, 2> project(double x, double y, double z)
{
    const double focal = 1.0 / std::tan(M_PI / 8.0);
    return {400.0 * (1.0 + focal / (800.0 / 600.0) * x / -z), 300.0 * (1.0 + focal * y / -z)};
}

// A 2x2 panel whose lower left corner sits at eye-space (x, 0, z).
Box panel_box(double x, double z)
{
    auto low = project(x, 0.0, z);
    auto high = project(x + 2.0, 2.0, z);
    return {low[0], high[0], low[1], high[1]};
}

// At t = 0 the panels stand at (0, 0, 12) and (5, 0, -7), seen from (0, 0, 25).
const Box first_panel = panel_box(0.0, -13.0);
const Box second_panel = panel_box(5.0, -32.0);

class Scenes : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(open_test_context());
        setup_render_state();
        // Untextured shapes: the pictures follow from the tints alone.
        app.torus_texture = 0;
        enter_frame();
    }
};

GLuint empty_list()
{
    GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glEndList();
    return list;
}

// Checks the two panels at t = 0 over `background`, and that nothing else was drawn.
void expect_panels_at_time_zero(const Picture& picture, std::array<int, 3> background)
{
    int stray = 0;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            if (first_panel.contains(x, y, 1.0) || second_panel.contains(x, y, 1.0)) {
                continue;
            }
            auto c = picture.at(x, y);
            if ((c[0] != background[0] || c[1] != background[1] || c[2] != background[2]) &&
                stray++ < 3) {
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << int(c[0]) << ","
                              << int(c[1]) << "," << int(c[2]);
            }
        }
    }
    EXPECT_EQ(stray, 0) << "pixels drawn outside the panels";

    for (const Box& box : {first_panel, second_panel}) {
        int cx = static_cast<int>((box.left + box.right) / 2.0);
        int cy = static_cast<int>((box.bottom + box.top) / 2.0);
        auto c = picture.at(cx, cy);
        // The glow's core under the tint (0.2, 1, 1.4 clamped to 1), added.
        EXPECT_GT(c[1], 200) << "no panel at " << cx << "," << cy;
        EXPECT_NEAR(c[0] - background[0], 0.2 * (c[1] - background[1]), 2.0);
    }
}

}  // namespace

TEST(SceneConstants, KeepTheirExactBits)
{
    EXPECT_EQ(std::bit_cast<std::uint32_t>(sway_rate), 0x3D4CCCCCu);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(torus_tint_rate), 0x3D75C28Fu);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(panel_tint_rate), 0x3BC49BA5u);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(orbit_rate), 0x3DA3D70Au);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(blur_alpha_swing), 0x3CD4FDF3u);
}

TEST_F(Scenes, SceneAPutsThePanelsWhereTheyOrbitOnItsOwnDarkBlue)
{
    app.torus_list = empty_list();
    draw_scene_a(0.0f);
    Picture picture = read_picture();
    int blue = picture.at(0, 0)[2];
    EXPECT_TRUE(blue == 76 || blue == 77) << blue;
    // Nothing of the torus was captured, so the blur adds nothing anywhere, and
    // the panels themselves are never blurred.
    expect_panels_at_time_zero(picture, {0, 0, blue});
}

TEST_F(Scenes, SceneBPutsThePanelsWhereTheyOrbitOnTheFrameLoopsBlack)
{
    app.torus_list = empty_list();
    draw_scene_b(0.0f);
    expect_panels_at_time_zero(read_picture(), {0, 0, 0});
}

TEST_F(Scenes, SceneALeavesTheStateTheFrameLoopExpects)
{
    app.torus_list = empty_list();
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    std::array<GLfloat, 16> projection = gl_matrix(GL_PROJECTION_MATRIX);
    draw_scene_a(12.5f);

    EXPECT_EQ(gl_integer(GL_MATRIX_MODE), GL_MODELVIEW);
    std::array<GLfloat, 16> m = gl_matrix(GL_MODELVIEW_MATRIX);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f) << "modelview element " << i;
    }
    EXPECT_EQ(gl_matrix(GL_PROJECTION_MATRIX), projection);
    EXPECT_EQ(gl_integer(GL_PROJECTION_STACK_DEPTH), 1);
    EXPECT_TRUE(gl_enabled(GL_DEPTH_TEST));
    for (GLenum off : {GL_TEXTURE_2D, GL_BLEND, GL_FOG, GL_LIGHTING, GL_CULL_FACE}) {
        EXPECT_FALSE(gl_enabled(off)) << std::hex << off;
    }
    std::array<GLint, 2> modes{};
    glGetIntegerv(GL_POLYGON_MODE, modes.data());
    EXPECT_EQ(modes, (std::array<GLint, 2>{GL_FILL, GL_FILL}));
    EXPECT_EQ(gl_integer(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(gl_integer(GL_BLEND_DST), GL_ONE);
    EXPECT_EQ(gl_float4(GL_COLOR_CLEAR_VALUE), (Float4{0.0f, 0.0f, 0.3f, 0.5f}));
}

TEST_F(Scenes, SceneBLeavesTheStateTheFrameLoopExpects)
{
    app.torus_list = empty_list();
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    draw_scene_b(12.5f);

    for (GLenum on : {GL_DEPTH_TEST, GL_TEXTURE_2D, GL_BLEND}) {
        EXPECT_TRUE(gl_enabled(on)) << std::hex << on;
    }
    for (GLenum off : {GL_FOG, GL_LIGHTING, GL_CULL_FACE}) {
        EXPECT_FALSE(gl_enabled(off)) << std::hex << off;
    }
    std::array<GLint, 2> modes{};
    glGetIntegerv(GL_POLYGON_MODE, modes.data());
    EXPECT_EQ(modes, (std::array<GLint, 2>{GL_FILL, GL_FILL}));
    EXPECT_EQ(gl_integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(app.panel_texture));
    EXPECT_EQ(gl_integer(GL_BLEND_SRC), GL_ONE);  // never set by the scene
    EXPECT_EQ(gl_integer(GL_BLEND_DST), GL_ONE);
    EXPECT_EQ(gl_float4(GL_COLOR_CLEAR_VALUE), (Float4{0.0f, 0.0f, 0.0f, 0.5f}));
}

TEST_F(Scenes, SceneABlursTheCapturedShapeOutwardOverTheDarkBlue)
{
    // A 6x6 square about the origin stands in for the torus: at t = 0 it sits
    // tilted 25 degrees in the middle of the screen, about 80 pixels from the
    // centre to its left edge, and untextured it is drawn in the tint (0.5, 1, 1).
    app.torus_list = compile_square(3.0f);
    draw_scene_a(0.0f);
    Picture picture = read_picture();
    int blue = picture.at(0, 0)[2];

    // The corners show the capture's clear, untouched.
    for (auto [x, y] : {std::array<int, 2>{5, 5}, {794, 5}, {5, 594}, {794, 594}, {200, 300}}) {
        auto c = picture.at(x, y);
        EXPECT_EQ((std::array<int, 3>{c[0], c[1], c[2]}), (std::array<int, 3>{0, 0, blue}))
            << x << "," << y;
    }

    // Inside the square, clear of the panels: the square's red 0.5 plus the
    // blur's five layers of that red (alphas summing to 3 x 0.326) on top.
    auto inside = picture.at(370, 280);
    EXPECT_NEAR(inside[0], 128 + 128 * 3 * 0.326, 4.0);
    EXPECT_EQ(inside[1], 255);
    EXPECT_EQ(inside[2], 255);

    // Left of the square along the centre row: the more magnified layers still
    // reach past its edge (at about x = 320) and only there add light.
    int edge = 0;
    while (edge < 400 && picture.at(edge, 300)[1] < 255) {
        ++edge;
    }
    EXPECT_NEAR(edge, 320, 3);
    auto halo = picture.at(edge - 6, 300);
    EXPECT_GT(halo[0], 10);
    EXPECT_LT(halo[0], 80);
    EXPECT_EQ(halo[1], halo[0]);  // the blur adds grey light
    EXPECT_EQ(halo[2], std::min(255, blue + halo[0]));
    auto beyond = picture.at(edge - 25, 300);
    EXPECT_EQ((std::array<int, 3>{beyond[0], beyond[1], beyond[2]}),
              (std::array<int, 3>{0, 0, blue}));
}

TEST_F(Scenes, SceneBDrawsTheWireframeOverTheFilledShape)
{
    app.torus_list = compile_square(3.0f);
    draw_scene_b(0.0f);
    Picture picture = read_picture();

    // Outside the panels only three levels of red appear: black background,
    // the fill's 0.5, and 1.0 where the lines of the same tint add to the fill.
    int filled = 0, lined = 0, other = 0;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            if (first_panel.contains(x, y, 1.0) || second_panel.contains(x, y, 1.0)) {
                continue;
            }
            int red = picture.at(x, y)[0];
            if (red >= 126 && red <= 129) {
                ++filled;
            } else if (red == 255) {
                ++lined;
            } else if (red != 0) {
                ++other;
            }
        }
    }
    EXPECT_GT(filled, 3000);
    EXPECT_GT(lined, 150);
    EXPECT_EQ(other, 0);
    // The screen's corners stay the frame loop's black.
    auto corner = picture.at(0, 0);
    EXPECT_EQ((std::array<int, 3>{corner[0], corner[1], corner[2]}), (std::array<int, 3>{0, 0, 0}));
}

TEST_F(Scenes, TheLogoStaysInsideItsBoxInTheLowerRight)
{
    // The logo follows a scene, which has turned culling and lighting off (its
    // corners run clockwise); only the scene's picture is wiped here.
    app.torus_list = empty_list();
    draw_scene_b(0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    draw_logo_overlay();
    Picture picture = read_picture();
    // The 4:1 quad at (5.75, -7.35, -18) in the 45-degree view.
    auto low = project(5.75, -7.35, -18.0);
    auto high = project(9.75, -6.35, -18.0);
    Box box{low[0], high[0], low[1], high[1]};
    EXPECT_NEAR(box.left, 631.0, 1.0);
    EXPECT_NEAR(box.right, 792.0, 1.0);
    EXPECT_NEAR(box.bottom, 4.0, 1.0);
    EXPECT_NEAR(box.top, 44.0, 1.0);
    int inside = 0, outside = 0;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            auto c = picture.at(x, y);
            if (c[0] == 0 && c[1] == 0 && c[2] == 0) {
                continue;
            }
            box.contains(x, y, 0.5) ? ++inside : ++outside;
        }
    }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(inside, 500);
}
