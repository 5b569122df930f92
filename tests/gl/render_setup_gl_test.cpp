// render_setup_gl_test.cpp -- the GL state and textures setup_render_state leaves, in a fresh context
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <vector>

#include "render/render_state.h"
#include "state/app_state.h"
#include "tests/gl/gl_context.h"
#include "tests/gl/render_checks.h"

namespace {

using Float4 = std::array<GLfloat, 4>;

Float4 light(GLenum which)
{
    Float4 v{};
    glGetLightfv(GL_LIGHT0, which, v.data());
    return v;
}

Float4 material(GLenum which)
{
    Float4 v{};
    glGetMaterialfv(GL_FRONT, which, v.data());
    return v;
}

Float4 array4(const float* a)
{
    return {a[0], a[1], a[2], a[3]};
}

std::array<GLint, 2> texture_size(GLuint name)
{
    glBindTexture(GL_TEXTURE_2D, name);
    std::array<GLint, 2> size{};
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &size[0]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &size[1]);
    return size;
}

}  // namespace

// The first test must see a context that only window creation has touched, so
// these run alone in their process.
TEST(RenderSetup, LeavesTheStateTheFirstFrameStartsFrom)
{
    ASSERT_NO_FATAL_FAILURE(open_test_context());
    // Disturb what the set-up has to put right.
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glViewport(0, 0, 10, 10);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1.0f, 2.0f, 3.0f);
    glBlendFunc(GL_ZERO, GL_ZERO);

    setup_render_state();

    for (GLenum on : {GL_DEPTH_TEST, GL_CULL_FACE, GL_FOG, GL_LIGHTING, GL_LIGHT0, GL_BLEND}) {
        EXPECT_TRUE(gl_enabled(on)) << std::hex << on;
    }
    EXPECT_FALSE(gl_enabled(GL_TEXTURE_2D));
    EXPECT_EQ(gl_integer(GL_SHADE_MODEL), GL_SMOOTH);
    EXPECT_EQ(gl_integer(GL_PERSPECTIVE_CORRECTION_HINT), GL_NICEST);
    EXPECT_EQ(gl_integer(GL_CULL_FACE_MODE), GL_BACK);
    EXPECT_EQ(gl_integer(GL_FRONT_FACE), GL_CCW);

    // Linear fog from 125 to 150: beyond the far plane at 100, so nothing is fogged.
    EXPECT_EQ(gl_integer(GL_FOG_MODE), GL_LINEAR);
    GLfloat fog_start = 0, fog_end = 0;
    glGetFloatv(GL_FOG_START, &fog_start);
    glGetFloatv(GL_FOG_END, &fog_end);
    EXPECT_EQ(fog_start, 125.0f);
    EXPECT_EQ(fog_end, 150.0f);
    EXPECT_EQ(gl_float4(GL_FOG_COLOR), (Float4{0, 0, 0, 0}));

    EXPECT_EQ(light(GL_AMBIENT), (Float4{0.5f, 0.5f, 0.5f, 1.0f}));
    EXPECT_EQ(light(GL_DIFFUSE), (Float4{0.25f, 0.25f, 0.25f, 1.0f}));
    // Given with the identity on the modelview: a directional light (w = 0) along +Z.
    EXPECT_EQ(light(GL_POSITION), (Float4{0.0f, 0.0f, 1.0f, 0.0f}));
    EXPECT_EQ(material(GL_AMBIENT), (Float4{0.8f, 0.8f, 1.0f, 1.0f}));
    EXPECT_EQ(material(GL_DIFFUSE), (Float4{0.0f, 0.0f, 0.0f, 0.8f}));
    EXPECT_EQ(array4(app.light_ambient), light(GL_AMBIENT));
    EXPECT_EQ(array4(app.light_diffuse), light(GL_DIFFUSE));
    EXPECT_EQ(array4(app.light_position), light(GL_POSITION));
    EXPECT_EQ(array4(app.material_ambient), material(GL_AMBIENT));
    EXPECT_EQ(array4(app.material_diffuse), material(GL_DIFFUSE));

    EXPECT_EQ(gl_integer(GL_BLEND_SRC), GL_ONE);
    EXPECT_EQ(gl_integer(GL_BLEND_DST), GL_ONE);
    EXPECT_EQ(gl_float4(GL_COLOR_CLEAR_VALUE), (Float4{0, 0, 0, 0}));

    std::array<GLint, 4> viewport{};
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    EXPECT_EQ(viewport, (std::array<GLint, 4>{0, 0, 800, 600}));

    EXPECT_EQ(gl_integer(GL_MATRIX_MODE), GL_MODELVIEW);
    std::array<GLfloat, 16> m = gl_matrix(GL_MODELVIEW_MATRIX);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f) << "modelview element " << i;
    }
    // gluPerspective(45, 1.3333334, 1, 100).
    const double focal = 1.0 / std::tan(M_PI / 8.0);
    std::array<GLfloat, 16> p = gl_matrix(GL_PROJECTION_MATRIX);
    std::array<double, 16> expected = {focal / 1.3333334f, 0, 0, 0, 0, focal, 0, 0,
                                       0, 0, -101.0 / 99.0, -1, 0, 0, -200.0 / 99.0, 0};
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(p[i], expected[i], 1e-6) << "projection element " << i;
    }

    // The clear reached the whole buffer.
    Picture picture = read_picture();
    for (int y = 0; y < 600; y += 5) {
        for (int x = 0; x < 800; x += 5) {
            auto c = picture.at(x, y);
            ASSERT_TRUE(c[0] == 0 && c[1] == 0 && c[2] == 0) << x << "," << y;
        }
    }
}

// Needs the state above; runs after it.
TEST(RenderSetup, MakesFourDistinctTexturesOfTheImagesSizes)
{
    ASSERT_NO_FATAL_FAILURE(open_test_context());
    std::vector<GLuint> names = {app.torus_texture, app.panel_texture, app.logo_texture,
                                 app.blur_texture};
    for (GLuint name : names) {
        EXPECT_NE(name, 0u);
    }
    EXPECT_EQ(std::set<GLuint>(names.begin(), names.end()).size(), 4u);
    EXPECT_EQ(texture_size(app.torus_texture), (std::array<GLint, 2>{256, 256}));
    EXPECT_EQ(texture_size(app.panel_texture), (std::array<GLint, 2>{32, 32}));
    EXPECT_EQ(texture_size(app.logo_texture), (std::array<GLint, 2>{256, 64}));
    EXPECT_EQ(texture_size(app.blur_texture), (std::array<GLint, 2>{128, 128}));
}
