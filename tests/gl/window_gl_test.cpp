// window_gl_test.cpp -- the real window's context and the projection window_resize sets
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "app/gl_window.h"
#include "tests/gl/gl_context.h"
#include "tests/gl/render_checks.h"

namespace {

std::array<GLint, 4> viewport()
{
    std::array<GLint, 4> v{};
    glGetIntegerv(GL_VIEWPORT, v.data());
    return v;
}

// cot(22.5 degrees): the vertical scale of a 45-degree perspective.
const float focal = static_cast<float>(1.0 / std::tan(M_PI / 8.0));

void expect_perspective(float aspect)
{
    std::array<GLfloat, 16> p = gl_matrix(GL_PROJECTION_MATRIX);
    EXPECT_NEAR(p[0], focal / aspect, 1e-5f);
    EXPECT_NEAR(p[5], focal, 1e-5f);
    EXPECT_NEAR(p[10], -101.0f / 99.0f, 1e-6f);  // near 1, far 100
    EXPECT_NEAR(p[11], -1.0f, 0.0f);
    EXPECT_NEAR(p[14], -200.0f / 99.0f, 1e-6f);
    EXPECT_EQ(p[15], 0.0f);
}

void expect_identity_modelview()
{
    EXPECT_EQ(gl_integer(GL_MATRIX_MODE), GL_MODELVIEW);
    std::array<GLfloat, 16> m = gl_matrix(GL_MODELVIEW_MATRIX);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f) << "element " << i;
    }
}

}  // namespace

TEST(WindowGl, TheContextHasTheRequestedBuffers)
{
    open_test_context();
    EXPECT_EQ(gl_integer(GL_DEPTH_BITS), 16);
    EXPECT_EQ(gl_integer(GL_STENCIL_BITS), 0);
    EXPECT_EQ(gl_integer(GL_ALPHA_BITS), 0);
    EXPECT_EQ(gl_integer(GL_RED_BITS), 8);
    EXPECT_EQ(gl_integer(GL_ACCUM_RED_BITS), 0);
    // Creation ends with the full 800x600 viewport and perspective.
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 800, 600}));
    expect_perspective(800.0f / 600.0f);
    expect_identity_modelview();
}

TEST(WindowGl, ResizeTo800x600SetsTheSinglePrecisionAspect)
{
    open_test_context();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    window_resize(800, 600);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 800, 600}));
    expect_perspective(1.3333334f);
    expect_identity_modelview();
}

TEST(WindowGl, ZeroHeightCountsAsOne)
{
    open_test_context();
    window_resize(800, 0);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 800, 1}));
    expect_perspective(800.0f);
    expect_identity_modelview();
    window_resize(800, 600);
}

TEST(WindowGl, ZeroWidthGivesAnAspectOfZeroWhichLeavesTheIdentityProjection)
{
    open_test_context();
    window_resize(0, 600);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 0, 600}));
    // The perspective of a zero aspect is undefined; it is not applied.
    std::array<GLfloat, 16> p = gl_matrix(GL_PROJECTION_MATRIX);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(p[i], (i % 5 == 0) ? 1.0f : 0.0f) << "element " << i;
    }
    expect_identity_modelview();
    window_resize(800, 600);
}
