// blur_fade_gl_test.cpp -- the blur texture, capture, layered composite and fade quad, read back
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "render/blur.h"
#include "render/fade.h"
#include "render/render_state.h"
#include "state/app_state.h"
#include "tests/gl/gl_context.h"
#include "tests/gl/render_checks.h"

namespace {

using Float4 = std::array<GLfloat, 4>;

class BlurFade : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(open_test_context());
        setup_render_state();
    }
};

// A 128x128 RGBA texture of `texel(x, y)`, row 0 at the bottom, linear filters
// like the blur texture.
template <typename F>
GLuint make_texture(F texel)
{
    std::vector<std::uint8_t> pixels(128 * 128 * 4);
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            std::array<std::uint8_t, 4> c = texel(x, y);
            for (int k = 0; k < 4; ++k) {
                pixels[static_cast<std::size_t>((y * 128 + x) * 4 + k)] = c[k];
            }
        }
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 128, 128, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return name;
}

// The texel-space coordinate a linear filter samples for window pixel `pixel`
// when `size` pixels show the texture window [lo, 1 - lo] of 128 texels.
double texel_coordinate(int pixel, int size, double lo)
{
    double s = lo + (1.0 - 2.0 * lo) * (pixel + 0.5) / size;
    return s * 128.0 - 0.5;
}

std::uint8_t byte(double v)
{
    return static_cast<std::uint8_t>(v);
}

void expect_whole_picture(const Picture& picture, std::array<int, 3> rgb, int tolerance,
                          const char* what)
{
    int wrong = 0;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            auto c = picture.at(x, y);
            for (int k = 0; k < 3; ++k) {
                if (std::abs(c[k] - rgb[k]) > tolerance) {
                    if (wrong++ < 3) {
                        ADD_FAILURE() << what << ": pixel " << x << "," << y << " channel " << k
                                      << " is " << int(c[k]) << ", expected " << rgb[k];
                    }
                }
            }
        }
    }
    EXPECT_EQ(wrong, 0) << what;
}

}  // namespace

TEST_F(BlurFade, TheBlurTextureStartsAsTransparentBlackAndStaysBound)
{
    GLuint name = create_blur_texture();
    ASSERT_NE(name, 0u);
    EXPECT_EQ(gl_integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(name));
    GLint width = 0, height = 0, format = 0, min_filter = 0, mag_filter = 0, wrap_s = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag_filter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap_s);
    EXPECT_EQ(width, 128);
    EXPECT_EQ(height, 128);
    EXPECT_TRUE(format == 4 || format == GL_RGBA) << format;
    EXPECT_EQ(min_filter, GL_LINEAR);  // no mipmaps, so the texture is complete
    EXPECT_EQ(mag_filter, GL_LINEAR);
    EXPECT_EQ(wrap_s, GL_REPEAT);

    std::vector<std::uint8_t> texels(128 * 128 * 4, 0xAB);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(std::vector<std::uint8_t>(texels.size(), 0), texels);

    EXPECT_NE(create_blur_texture(), name);
}

TEST_F(BlurFade, CaptureCopiesTheRedOfTheCornerThenClearsEverythingToDarkBlue)
{
    GLuint texture = create_blur_texture();

    // Paint and depth-fill the whole buffer first, so the clear has something to wipe.
    glClearColor(0.9f, 0.8f, 0.7f, 1.0f);
    glClearDepth(0.25);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);

    // The list fills the left half of whatever viewport is in force with
    // identity matrices: red 0.6 and other channels that must not reach the texture.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.6f, 0.2f, 1.0f);
    GLuint list = compile_triangles({-1, -1, 0, 0, -1, 0, 0, 1, 0, -1, -1, 0, 0, 1, 0, -1, 1, 0});
    glBindTexture(GL_TEXTURE_2D, 0);

    capture_to_texture(list, texture);

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);

    EXPECT_EQ(gl_integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(texture));
    std::array<GLint, 4> viewport{};
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    EXPECT_EQ(viewport, (std::array<GLint, 4>{0, 0, 800, 600}));
    EXPECT_EQ(gl_float4(GL_COLOR_CLEAR_VALUE), (Float4{0.0f, 0.0f, 0.3f, 0.5f}));

    GLint format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(format, GL_LUMINANCE);
    std::vector<std::uint8_t> luminance(128 * 128);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, luminance.data());
    int wrong = 0;
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            // Red 0.6 where the list drew, the painted 0.9 beside it: only red is kept.
            int expected = x < 64 ? 153 : 230;
            int got = luminance[static_cast<std::size_t>(y * 128 + x)];
            if (std::abs(got - expected) > 1 && wrong++ < 3) {
                ADD_FAILURE() << "texel " << x << "," << y << " is " << got;
            }
        }
    }
    EXPECT_EQ(wrong, 0);

    // The whole buffer, not only the corner. The surface has no alpha bits, so
    // the 0.5 alpha lives only in the clear colour checked above.
    Picture picture = read_picture();
    int blue = picture.at(0, 0)[2];
    EXPECT_TRUE(blue == 76 || blue == 77) << blue;  // 0.3 of 255
    expect_whole_picture(picture, {0, 0, blue}, 0, "after the capture");

    std::vector<GLfloat> depth(800 * 600);
    glReadPixels(0, 0, 800, 600, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    EXPECT_EQ(std::vector<GLfloat>(depth.size(), 1.0f), depth);
}

TEST_F(BlurFade, NoLayersForACountOfZeroOrLessButTheStateStillChanges)
{
    GLuint white = make_texture([](int, int) { return std::array<std::uint8_t, 4>{255, 255, 255, 255}; });
    for (std::int32_t count : {0, -1, -5}) {
        glClearColor(0.2f, 0.4f, 0.6f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        Picture before = read_picture();
        std::array<GLfloat, 16> projection = gl_matrix(GL_PROJECTION_MATRIX);
        GLint depth = gl_integer(GL_PROJECTION_STACK_DEPTH);
        glEnable(GL_FOG);
        glEnable(GL_LIGHTING);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_BLEND);
        glDisable(GL_DEPTH_TEST);
        glLoadIdentity();
        glTranslatef(1.0f, 2.0f, 3.0f);

        draw_zoom_blur(count, 0.015f, 0.3f, white);

        EXPECT_EQ(read_picture().rgba, before.rgba) << "count " << count;
        EXPECT_EQ(gl_matrix(GL_PROJECTION_MATRIX), projection);
        EXPECT_EQ(gl_integer(GL_PROJECTION_STACK_DEPTH), depth);
        EXPECT_EQ(gl_integer(GL_MATRIX_MODE), GL_MODELVIEW);
        std::array<GLfloat, 16> m = gl_matrix(GL_MODELVIEW_MATRIX);
        EXPECT_EQ(m[12], 0.0f);  // the ortho view's identity, not the translation
        EXPECT_EQ(m[14], 0.0f);
        EXPECT_FALSE(gl_enabled(GL_FOG));
        EXPECT_FALSE(gl_enabled(GL_LIGHTING));
        EXPECT_FALSE(gl_enabled(GL_TEXTURE_GEN_S));
        EXPECT_FALSE(gl_enabled(GL_TEXTURE_2D));
        EXPECT_FALSE(gl_enabled(GL_BLEND));
        EXPECT_TRUE(gl_enabled(GL_DEPTH_TEST));
        EXPECT_EQ(gl_integer(GL_BLEND_SRC), GL_SRC_ALPHA);
        EXPECT_EQ(gl_integer(GL_BLEND_DST), GL_ONE);
    }
}

TEST_F(BlurFade, LayerZeroMapsTheTextureExactlyOntoTheViewportUpright)
{
    // Red ramps with the texel column, green with the row (row 0 at the bottom).
    GLuint ramp = make_texture([](int x, int y) {
        return std::array<std::uint8_t, 4>{byte(2 * x), byte(2 * y), 0, 255};
    });
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    std::array<GLfloat, 16> projection = gl_matrix(GL_PROJECTION_MATRIX);

    draw_zoom_blur(1, 0.25f, 1.0f, ramp);

    EXPECT_EQ(gl_matrix(GL_PROJECTION_MATRIX), projection);
    Picture picture = read_picture();
    int wrong = 0;
    // Away from the outermost pixels, where the repeating wrap mixes in the far edge.
    for (int y = 8; y < 592; y += 7) {
        for (int x = 8; x < 792; x += 7) {
            auto c = picture.at(x, y);
            double red = 2.0 * texel_coordinate(x, 800, 0.0);
            double green = 2.0 * texel_coordinate(y, 600, 0.0);
            if (std::abs(c[0] - red) > 1.5 || std::abs(c[1] - green) > 1.5 || c[2] != 0) {
                if (wrong++ < 3) {
                    ADD_FAILURE() << x << "," << y << ": " << int(c[0]) << "," << int(c[1])
                                  << " expected about " << red << "," << green;
                }
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(BlurFade, EachLayerIsMagnifiedAboutTheCentreAndFainter)
{
    GLuint ramp = make_texture([](int x, int y) {
        return std::array<std::uint8_t, 4>{byte(x), byte(y), 0, 255};
    });
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);

    // Layer 0: the whole texture at alpha 1; layer 1: the window [0.25, 0.75]
    // (twice the magnification) at alpha 0.5.
    draw_zoom_blur(2, 0.25f, 1.0f, ramp);

    Picture picture = read_picture();
    int wrong = 0;
    for (int y = 8; y < 592; y += 11) {
        for (int x = 8; x < 792; x += 11) {
            auto c = picture.at(x, y);
            double red = texel_coordinate(x, 800, 0.0) + 0.5 * texel_coordinate(x, 800, 0.25);
            double green = texel_coordinate(y, 600, 0.0) + 0.5 * texel_coordinate(y, 600, 0.25);
            if (std::abs(c[0] - red) > 2.0 || std::abs(c[1] - green) > 2.0) {
                if (wrong++ < 3) {
                    ADD_FAILURE() << x << "," << y << ": " << int(c[0]) << "," << int(c[1])
                                  << " expected about " << red << "," << green;
                }
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(BlurFade, SceneAsFiveLayersAddThreeTimesTheStartAlpha)
{
    // Alphas 1.0, 0.8, 0.6, 0.4 and 0.2 times the start alpha: a uniform white
    // texture adds 0.9 of full brightness to black (each layer rounded on its own).
    GLuint white = make_texture([](int, int) { return std::array<std::uint8_t, 4>{255, 255, 255, 255}; });
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    draw_zoom_blur(5, 0.015f, 0.3f, white);
    Picture picture = read_picture();
    int level = picture.at(400, 300)[0];
    EXPECT_NEAR(level, 0.9 * 255, 3.0);
    expect_whole_picture(picture, {level, level, level}, 0, "five white layers");
}

TEST_F(BlurFade, TheFadeQuadBlendsTheWholeViewportByItsClampedAlpha)
{
    struct Case {
        float alpha;
        std::array<int, 3> rgb;
    };
    // Under (51, 102, 153): alpha <= 0 leaves it, 0.5 goes halfway to white,
    // alpha >= 1 (and the unclamped levels above it) paints white.
    const Case cases[] = {{-16.0f, {51, 102, 153}}, {-0.05f, {51, 102, 153}},
                          {0.0f, {51, 102, 153}},   {0.5f, {153, 178, 204}},
                          {1.0f, {255, 255, 255}},  {1.05f, {255, 255, 255}},
                          {3.0f, {255, 255, 255}}};
    for (const Case& c : cases) {
        glClearColor(0.2f, 0.4f, 0.6f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_LIGHTING);
        glEnable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        glLoadIdentity();
        glRotatef(30.0f, 0.0f, 1.0f, 0.0f);

        draw_fade_quad(1.0f, c.alpha);

        expect_whole_picture(read_picture(), c.rgb, 1, "fade");
        EXPECT_TRUE(gl_enabled(GL_BLEND));
        EXPECT_EQ(gl_integer(GL_BLEND_SRC), GL_SRC_ALPHA);
        EXPECT_EQ(gl_integer(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
        EXPECT_FALSE(gl_enabled(GL_DEPTH_TEST));
        EXPECT_FALSE(gl_enabled(GL_LIGHTING));
        EXPECT_FALSE(gl_enabled(GL_TEXTURE_2D));
        std::array<GLfloat, 16> m = gl_matrix(GL_MODELVIEW_MATRIX);
        EXPECT_EQ(m, (std::array<GLfloat, 16>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -1, 1}));
    }
}

TEST_F(BlurFade, TheFadeQuadTakesItsGreyFromTheFirstArgument)
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    draw_fade_quad(0.4f, 1.0f);
    expect_whole_picture(read_picture(), {102, 102, 102}, 1, "grey 0.4");
}
