// gl11_frames_gl_test.cpp -- the demo drawn through the GL 1.1 layer on an ES 3.0 context, against the desktop GL's frames
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "app/frame_loop.h"
#include "gl11/es_functions.h"
#include "gl11/gl11.h"
#include "gl11/layer_state.h"
#include "tests/fakes/fake_platform.h"

namespace {

constexpr int width = 800;
constexpr int height = 600;

void* lookup(const char* name)
{
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

// An 800x600 pbuffer with the window's depth bits on Mesa's surfaceless
// platform (software under the gl tier's LIBGL_ALWAYS_SOFTWARE), ES 3.0, and
// the layer started on it. Empty when any step fails, with the reason.
std::string open_es_context()
{
    static std::string failure = "not tried";
    static bool tried = false;
    if (tried) {
        return failure;
    }
    tried = true;
    EGLDisplay display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY,
                                               nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        return failure = "no EGL surfaceless display";
    }
    const EGLint config_attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                        EGL_OPENGL_ES3_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                                        EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8, EGL_DEPTH_SIZE, 16,
                                        EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(display, config_attributes, &config, 1, &configs) || configs == 0) {
        return failure = "no RGBA8 + depth pbuffer config for ES 3";
    }
    const EGLint surface_attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display, config, surface_attributes);
    eglBindAPI(EGL_OPENGL_ES_API);
    const EGLint context_attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0,
                                         EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, context_attributes);
    if (surface == EGL_NO_SURFACE || context == EGL_NO_CONTEXT ||
        !eglMakeCurrent(display, surface, surface, context)) {
        return failure = "no ES 3.0 context on a pbuffer";
    }
    if (!gl11_start(lookup)) {
        return failure = "the layer did not start (see the line above)";
    }
    return failure = "";
}

#define REQUIRE_ES_CONTEXT()                                                  \
    do {                                                                      \
        const std::string why = open_es_context();                            \
        if (!why.empty()) {                                                   \
            std::printf("SKIPPED: %s\n", why.c_str());                        \
            GTEST_SKIP() << why;                                              \
        }                                                                     \
    } while (false)

// RGB bytes, top row first.
using Rgb = std::vector<std::uint8_t>;

Rgb read_back()
{
    std::vector<std::uint8_t> rgba(width * height * 4);
    es.ReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    Rgb rgb(width * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                rgb[static_cast<std::size_t>(((height - 1 - y) * width + x) * 3 + c)] =
                    rgba[static_cast<std::size_t>((y * width + x) * 4 + c)];
            }
        }
    }
    return rgb;
}

Rgb read_png(const std::string& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Rgb rgb;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << "cannot read " << path;
        return rgb;
    }
    image.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) || image.width != width ||
        image.height != height) {
        ADD_FAILURE() << path << " is not an 800x600 picture";
        rgb.clear();
    }
    return rgb;
}

struct Difference {
    std::array<double, 3> mean{};   // mean |difference| per channel
    int max = 0;                    // the largest over all pixels and channels
};

Difference compare(const Rgb& a, const Rgb& b)
{
    Difference d;
    std::array<std::uint64_t, 3> sums{};
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const int delta = std::abs(int{a[i]} - int{b[i]});
        sums[i % 3] += static_cast<std::uint64_t>(delta);
        d.max = std::max(d.max, delta);
    }
    for (int c = 0; c < 3; ++c) {
        d.mean[static_cast<std::size_t>(c)] =
            static_cast<double>(sums[static_cast<std::size_t>(c)]) / (width * height);
    }
    return d;
}

// The desktop GL's frame N (quorvex-capture on llvmpipe) against the same
// frame through the layer, reached as the capture reaches it: start-up, every
// earlier frame passed over but the one right before, which leaves the blend
// state frame N inherits.
TEST(Gl11Frames, DemoFramesMatchTheDesktopGlWithinAHair)
{
    REQUIRE_ES_CONTEXT();
    fake_reset();
    ASSERT_TRUE(try_start_up());
    int frame = 0;
    for (int target : {200, 500, 672}) {
        while (frame < target) {
            ++frame;
            if (frame >= target - 1) {
                draw_frame();
            } else {
                skip_frame();
            }
        }
        char name[64];
        std::snprintf(name, sizeof name, "/docs/frame-%06d.png", target);
        const Rgb desktop = read_png(QUORVEX_SOURCE_DIR + std::string(name));
        ASSERT_FALSE(desktop.empty());
        const Difference d = compare(read_back(), desktop);
        std::printf("frame %d: mean |difference| R %.4f G %.4f B %.4f, largest %d\n", target,
                    d.mean[0], d.mean[1], d.mean[2], d.max);
        for (double mean : d.mean) {
            EXPECT_LE(mean, 0.5) << "frame " << target;
        }
        EXPECT_LE(d.max, 8) << "frame " << target;
    }
}

// A clean slate for a hand-drawn check: black, no depth test, blending or
// texturing, both matrices the identity (the viewport is then [-1, 1] squared).
void plain_state()
{
    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT, GL_FILL);
    glPolygonMode(GL_BACK, GL_FILL);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// The green of window pixel (x, y), counted from the top left.
int green_at(const Rgb& picture, int x, int y)
{
    return picture[static_cast<std::size_t>((y * width + x) * 3 + 1)];
}

void draw_square(float h)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-h, -h);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(h, -h);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(h, h);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(-h, h);
    glEnd();
}

// Scene B's wireframe pass: a quad in line mode lights its four sides and
// neither its inside nor its diagonal, which the centre lies on.
TEST(Gl11Layer, LineModeDrawsTheOutlineOnly)
{
    REQUIRE_ES_CONTEXT();
    plain_state();
    glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
    glPolygonMode(GL_FRONT, GL_LINE);
    glPolygonMode(GL_BACK, GL_LINE);
    draw_square(0.5f);
    glPolygonMode(GL_FRONT, GL_FILL);
    glPolygonMode(GL_BACK, GL_FILL);
    const Rgb picture = read_back();
    EXPECT_EQ(green_at(picture, 400, 300), 0) << "inside or diagonal drawn";
    EXPECT_EQ(green_at(picture, 300, 250), 0) << "inside drawn";
    // The left side is the column at x = 200, give or take the rasteriser's rule.
    EXPECT_EQ(std::max({green_at(picture, 199, 250), green_at(picture, 200, 250),
                        green_at(picture, 201, 250)}),
              255);
}

// The layer leaves out draws that change nothing (the fade quad at alpha 0),
// and only those: a transparent draw still writes depth with the depth test
// on, and draws its colour with blending off.
TEST(Gl11Layer, TransparentDrawsAreLeftOutOnlyWhereTheyChangeNothing)
{
    REQUIRE_ES_CONTEXT();
    // Blending, depth test, and the green at the centre after a green quad at
    // alpha -1 and a half-green one behind it.
    for (const auto& [blend, depth_test, green] : {std::tuple{true, true, 0}, {false, true, 255},
                                                   {true, false, 128}}) {
        plain_state();
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        (blend ? glEnable : glDisable)(GL_BLEND);
        (depth_test ? glEnable : glDisable)(GL_DEPTH_TEST);
        glColor4f(0.0f, 1.0f, 0.0f, -1.0f);
        draw_square(0.5f);
        glDisable(GL_BLEND);
        glColor4f(0.0f, 0.5f, 0.0f, 1.0f);
        glTranslatef(0.0f, 0.0f, 0.5f);  // farther: hidden where the first wrote depth
        draw_square(0.5f);
        EXPECT_NEAR(green_at(read_back(), 400, 300), green, 1) << blend << depth_test;
    }
}

// A bound texture without all its mipmap levels is incomplete: GL 1.1 draws
// as if texturing were off, where ES would sample opaque black.
TEST(Gl11Layer, IncompleteTextureDrawsUntextured)
{
    REQUIRE_ES_CONTEXT();
    plain_state();
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    const std::uint8_t pixels[2 * 2 * 4] = {};
    // The default minification filter wants mipmaps; only level 0 is given.
    glTexImage2D(GL_TEXTURE_2D, 0, 4, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glEnable(GL_TEXTURE_2D);
    glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
    draw_square(0.5f);
    glDisable(GL_TEXTURE_2D);
    EXPECT_EQ(green_at(read_back(), 400, 300), 255);

    // With a filter that needs no mipmaps the same texture is complete: black.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glEnable(GL_TEXTURE_2D);
    draw_square(0.5f);
    glDisable(GL_TEXTURE_2D);
    EXPECT_EQ(green_at(read_back(), 400, 300), 0);
}

// gluBuild2DMipmaps's box filter against the GPU's own glGenerateMipmap from
// the same level 0 (fixed noise, where averaging the wrong texels shows at
// once), every level read back through a framebuffer. The two round each
// mean differently (the box filter to nearest, llvmpipe lower), and each level
// is made from the one above, so level n may be up to n apart.
TEST(Gl11Layer, Build2DMipmapsAgreesWithTheGpusMipmaps)
{
    REQUIRE_ES_CONTEXT();
    using GenFramebuffers = void (*)(GLsizei, GLuint*);
    using BindFramebuffer = void (*)(GLenum, GLuint);
    using FramebufferTexture2D = void (*)(GLenum, GLenum, GLenum, GLuint, GLint);
    const auto gen_framebuffers = reinterpret_cast<GenFramebuffers>(lookup("glGenFramebuffers"));
    const auto bind_framebuffer = reinterpret_cast<BindFramebuffer>(lookup("glBindFramebuffer"));
    const auto framebuffer_texture =
        reinterpret_cast<FramebufferTexture2D>(lookup("glFramebufferTexture2D"));
    ASSERT_TRUE(gen_framebuffers && bind_framebuffer && framebuffer_texture);

    constexpr int size = 64;
    std::vector<std::uint8_t> image(size * size * 3);
    std::uint32_t noise = 12345;
    for (std::uint8_t& byte : image) {
        noise = noise * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(noise >> 24);
    }
    GLuint box = 0;
    GLuint gpu = 0;
    glGenTextures(1, &box);
    glGenTextures(1, &gpu);
    glBindTexture(GL_TEXTURE_2D, box);
    ASSERT_EQ(gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, size, size, GL_RGB, GL_UNSIGNED_BYTE,
                                image.data()),
              0);
    glBindTexture(GL_TEXTURE_2D, gpu);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE, image.data());
    es.GenerateMipmap(GL_TEXTURE_2D);

    constexpr GLenum framebuffer = 0x8D40;
    constexpr GLenum colour_attachment0 = 0x8CE0;
    GLuint fbo = 0;
    gen_framebuffers(1, &fbo);
    bind_framebuffer(framebuffer, fbo);
    auto read_level = [&](GLuint texture, int level, int extent) {
        framebuffer_texture(framebuffer, colour_attachment0, GL_TEXTURE_2D, texture, level);
        std::vector<std::uint8_t> rgba(static_cast<std::size_t>(extent * extent * 4));
        es.ReadPixels(0, 0, extent, extent, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    };
    for (int level = 1, extent = size / 2; extent >= 1; ++level, extent /= 2) {
        const std::vector<std::uint8_t> a = read_level(box, level, extent);
        const std::vector<std::uint8_t> b = read_level(gpu, level, extent);
        int largest = 0;
        std::uint64_t sum = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const int delta = std::abs(int{a[i]} - int{b[i]});
            largest = std::max(largest, delta);
            sum += static_cast<std::uint64_t>(delta);
        }
        std::printf("mipmap level %d (%dx%d): mean |box - GPU| %.3f, largest %d\n", level, extent,
                    extent, static_cast<double>(sum) / static_cast<double>(a.size()), largest);
        EXPECT_LE(largest, level) << "level " << level;
    }
    bind_framebuffer(framebuffer, 0);
}

// The layer's current texture coordinate (GL 1.1 would answer glGetFloatv,
// which the layer leaves out: the demo never asks).
std::array<float, 2> gl11_current_texcoord()
{
    return {gl11.texcoord[0], gl11.texcoord[1]};
}

std::array<int, 3> rgb_at(const Rgb& picture, int x, int y)
{
    const auto i = static_cast<std::size_t>((y * width + x) * 3);
    return {picture[i], picture[i + 1], picture[i + 2]};
}

// A list holds what its draw referenced, not the arrays: they may be
// overwritten after the compile. A colour it never set is the one current when
// it is called (the torus's per-frame tint); the texture coordinate and normal
// it did set are current after it, taken from its last vertex.
TEST(Gl11Layer, ListsCopyTheirVerticesAndTakeTheColourOfTheCall)
{
    REQUIRE_ES_CONTEXT();
    plain_state();
    std::vector<float> positions = {-0.5f, -0.5f, 0.0f, 0.5f, -0.5f, 0.0f, 0.0f, 0.5f, 0.0f};
    std::vector<float> texcoords = {0.0f, 0.0f, 1.0f, 0.0f, 0.25f, 0.75f};
    const GLuint indices[] = {0, 1, 2};
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions.data());
    glTexCoordPointer(2, GL_FLOAT, 0, texcoords.data());
    glDrawElements(GL_TRIANGLES, 3, GL_UNSIGNED_INT, indices);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glEndList();
    std::fill(positions.begin(), positions.end(), 9.0f);
    positions.clear();
    positions.shrink_to_fit();

    glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
    glCallList(list);
    EXPECT_EQ(rgb_at(read_back(), 400, 300), (std::array<int, 3>{0, 255, 0}));
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    glCallList(list);
    EXPECT_EQ(rgb_at(read_back(), 400, 300), (std::array<int, 3>{255, 0, 0}));

    const GLuint immediate = glGenLists(1);
    const GLfloat normal[3] = {0.0f, 0.6f, 0.8f};
    glNewList(immediate, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    for (int corner = 0; corner < 3; ++corner) {
        glTexCoord2f(0.5f * static_cast<float>(corner), 0.125f);
        glNormal3fv(normal);
        glVertex3f(static_cast<float>(corner), 0.0f, 0.0f);
    }
    glEnd();
    glEndList();
    glTexCoord2f(0.0f, 0.0f);
    EXPECT_EQ(gl11_current_texcoord(), (std::array<float, 2>{0.0f, 0.0f}))
        << "compiling changed the current texture coordinate";
    glCallList(immediate);
    EXPECT_EQ(gl11_current_texcoord(), (std::array<float, 2>{1.0f, 0.125f}));
}

}  // namespace
