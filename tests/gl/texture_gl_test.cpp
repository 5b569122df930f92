// texture_gl_test.cpp -- texture upload and BMP decoding in a real GL context
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <string>
#include <vector>

#include "assets/builtin_images.h"
#include "state/app_state.h"
#include "tests/gl/gl_context.h"
#include "tests/unit/bmp_test_image.h"
#include "textures/bmp_decode.h"
#include "textures/texture_upload.h"

namespace {

class TextureGl : public ::testing::Test {
protected:
    void SetUp() override
    {
        open_test_context();
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
    }
};

GLint bound_texture()
{
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

GLint parameter(GLenum which)
{
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, which, &value);
    return value;
}

GLint level_parameter(GLint level, GLenum which)
{
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, which, &value);
    return value;
}

GLint env_mode()
{
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    return mode;
}

// Level 0 of the bound texture read back in `format`, rows bottom first.
std::vector<std::uint8_t> texture_bytes(GLenum format, int bytes_per_pixel)
{
    const auto width = level_parameter(0, GL_TEXTURE_WIDTH);
    const auto height = level_parameter(0, GL_TEXTURE_HEIGHT);
    std::vector<std::uint8_t> bytes(std::size_t(width) * height * bytes_per_pixel);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, bytes.data());
    return bytes;
}

// The sampling every texture gets, with a single level.
void expect_single_level_sampling(std::uint32_t name)
{
    EXPECT_NE(name, 0u);
    EXPECT_EQ(bound_texture(), GLint(name));
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(env_mode(), GL_MODULATE);
    EXPECT_EQ(level_parameter(1, GL_TEXTURE_WIDTH), 0);
}

TEST_F(TextureGl, RgbUploadGetsFixedSamplingAndTheImage)
{
    const auto pixels = pattern_bytes(48);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    const std::uint32_t name = texture_from_pixels(pixels.data(), "rgb", 0, 4, 4);
    expect_single_level_sampling(name);
    EXPECT_EQ(level_parameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
    EXPECT_EQ(level_parameter(0, GL_TEXTURE_WIDTH), 4);
    EXPECT_EQ(level_parameter(0, GL_TEXTURE_HEIGHT), 4);
    EXPECT_EQ(texture_bytes(GL_RGB, 3), pixels);
}

TEST_F(TextureGl, JpgUploadsExactlyAsRgb)
{
    const auto pixels = pattern_bytes(8 * 4 * 3);
    const std::uint32_t rgb = texture_from_pixels(pixels.data(), "rgb", 0, 8, 4);
    const auto rgb_bytes = texture_bytes(GL_RGB, 3);
    const std::uint32_t jpg = texture_from_pixels(pixels.data(), "jpg", 0, 8, 4);
    EXPECT_NE(jpg, rgb);
    expect_single_level_sampling(jpg);
    EXPECT_EQ(level_parameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
    EXPECT_EQ(level_parameter(0, GL_TEXTURE_WIDTH), 8);
    EXPECT_EQ(level_parameter(0, GL_TEXTURE_HEIGHT), 4);
    EXPECT_EQ(texture_bytes(GL_RGB, 3), rgb_bytes);
    EXPECT_EQ(rgb_bytes, pixels);
}

TEST_F(TextureGl, RgbaAndLuminanceTakeTheirOwnFormats)
{
    const auto pixels = pattern_bytes(64);
    expect_single_level_sampling(texture_from_pixels(pixels.data(), "rgba", 0, 4, 4));
    EXPECT_EQ(level_parameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);
    EXPECT_EQ(texture_bytes(GL_RGBA, 4), pixels);

    expect_single_level_sampling(texture_from_pixels(pixels.data(), "luminance", 0, 8, 8));
    EXPECT_EQ(level_parameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_LUMINANCE);
    EXPECT_EQ(texture_bytes(GL_LUMINANCE, 1), pixels);
}

TEST_F(TextureGl, UnknownKeywordGivesANameWithNoImageAndNoBox)
{
    const auto pixels = pattern_bytes(48);
    for (const char* keyword : {"", "rgb ", "RGB", "rgbx", "envmap", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(keyword ? keyword : "(null)");
        testing::internal::CaptureStderr();
        const std::uint32_t name = texture_from_pixels(pixels.data(), keyword, 0, 4, 4);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        expect_single_level_sampling(name);
        EXPECT_EQ(level_parameter(0, GL_TEXTURE_WIDTH), 0);
    }
}

TEST_F(TextureGl, MipmapsOnlyWhenAskedWithOne)
{
    const auto pixels = pattern_bytes(48);
    for (std::uint8_t mipmap : {std::uint8_t{0}, std::uint8_t{2}, std::uint8_t{255}}) {
        SCOPED_TRACE(int(mipmap));
        expect_single_level_sampling(texture_from_pixels(pixels.data(), "rgb", mipmap, 4, 4));
        EXPECT_EQ(level_parameter(0, GL_TEXTURE_WIDTH), 4);
    }
    const std::uint32_t name = texture_from_pixels(pixels.data(), "rgb", 1, 4, 4);
    EXPECT_EQ(bound_texture(), GLint(name));
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(level_parameter(0, GL_TEXTURE_WIDTH), 4);
    EXPECT_EQ(level_parameter(1, GL_TEXTURE_WIDTH), 2);
    EXPECT_EQ(level_parameter(2, GL_TEXTURE_WIDTH), 1);
}

TEST_F(TextureGl, MissingBufferShowsTheBoxAndUsesNoName)
{
    const auto pixels = pattern_bytes(48);
    const std::uint32_t before = texture_from_pixels(pixels.data(), "rgb", 0, 4, 4);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);

    testing::internal::CaptureStderr();
    EXPECT_EQ(texture_from_pixels(nullptr, "rgb", 0, 4, 4), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), ":textureLib: unable to load texture\n");

    // No GL call: the binding and the unit's mode are as they were.
    EXPECT_EQ(bound_texture(), GLint(before));
    EXPECT_EQ(env_mode(), GL_REPLACE);
    EXPECT_EQ(texture_from_pixels(pixels.data(), "rgb", 0, 4, 4), before + 1);
}

TEST_F(TextureGl, SecondUploadStaysBound)
{
    const auto pixels = pattern_bytes(48);
    const std::uint32_t first = texture_from_pixels(pixels.data(), "rgb", 0, 4, 4);
    const std::uint32_t second = texture_from_pixels(pixels.data(), "luminance", 0, 4, 4);
    EXPECT_NE(first, second);
    EXPECT_EQ(bound_texture(), GLint(second));
}

// Red first in every pixel, rows in file order: bottom row at t = 0.
std::vector<std::uint8_t> file_pixels_red_first(const std::uint8_t* image, std::size_t count)
{
    std::vector<std::uint8_t> bytes(image + 54, image + 54 + count);
    return exchanged(bytes, count);
}

TEST_F(TextureGl, BuiltinImagesBecomeUprightRgbTextures)
{
    struct Case {
        const std::uint8_t* image;
        std::size_t size;
        int width;
        int height;
    } cases[] = {{torus_image, torus_image_size, 256, 256},
                 {panel_image, panel_image_size, 32, 32},
                 {logo_image, logo_image_size, 256, 64}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width * 1000 + c.height);
        const std::uint32_t name = texture_from_bmp(c.image, c.size, "rgb");
        expect_single_level_sampling(name);
        EXPECT_EQ(level_parameter(0, GL_TEXTURE_WIDTH), c.width);
        EXPECT_EQ(level_parameter(0, GL_TEXTURE_HEIGHT), c.height);
        EXPECT_EQ(level_parameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
        EXPECT_EQ(texture_bytes(GL_RGB, 3),
                  file_pixels_red_first(c.image, std::size_t(c.width) * c.height * 3));
        EXPECT_TRUE(app.bmp_pixels.empty());
    }
}

TEST_F(TextureGl, SameImageTwiceGivesTwoNamesWithOneImage)
{
    const std::uint32_t first = texture_from_bmp(panel_image, panel_image_size, "rgb");
    const auto first_bytes = texture_bytes(GL_RGB, 3);
    const std::uint32_t second = texture_from_bmp(panel_image, panel_image_size, "rgb");
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(texture_bytes(GL_RGB, 3), first_bytes);
}

TEST_F(TextureGl, DecoderPassesOtherKeywordsBytesInFileOrder)
{
    const auto pixels = pattern_bytes(8 * 8 * 3);
    const auto image = make_bmp({8, 8, 24, 0, 54 + 64}, pixels);

    expect_single_level_sampling(texture_from_bmp(image.data(), image.size(), "jpg"));
    EXPECT_EQ(texture_bytes(GL_RGB, 3), pixels);

    expect_single_level_sampling(texture_from_bmp(image.data(), image.size(), "luminance"));
    EXPECT_EQ(texture_bytes(GL_LUMINANCE, 1),
              std::vector<std::uint8_t>(pixels.begin(), pixels.begin() + 64));

    expect_single_level_sampling(texture_from_bmp(image.data(), image.size(), "rgb"));
    EXPECT_EQ(texture_bytes(GL_RGB, 3), exchanged(pixels, pixels.size()));

    // Exchanged for a format the upload does not know: a name, no image.
    expect_single_level_sampling(texture_from_bmp(image.data(), image.size(), "envmap"));
    EXPECT_EQ(level_parameter(0, GL_TEXTURE_WIDTH), 0);
}

TEST_F(TextureGl, RefusedImagesMakeNoGlCallAndUseNoName)
{
    const std::uint32_t before = texture_from_bmp(logo_image, logo_image_size, "rgb");
    ASSERT_NE(before, 0u);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);

    std::vector<std::uint8_t> wrong_signature(logo_image, logo_image + logo_image_size);
    wrong_signature[1] = 'A';
    auto damaged = make_bmp({}, pattern_bytes(48));
    put_le(damaged, 10, 4096, 4);

    testing::internal::CaptureStderr();
    EXPECT_EQ(texture_from_bmp(wrong_signature.data(), wrong_signature.size(), "rgb"), 0u);
    EXPECT_EQ(texture_from_bmp(logo_image, logo_image_size - 3, "rgb"), 0u);
    EXPECT_EQ(texture_from_bmp(logo_image, 53, "rgb"), 0u);
    EXPECT_EQ(texture_from_bmp(damaged.data(), damaged.size(), "rgb"), 0u);
    EXPECT_EQ(texture_from_bmp(nullptr, 0, "rgb"), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    EXPECT_EQ(bound_texture(), GLint(before));
    EXPECT_EQ(env_mode(), GL_REPLACE);
    EXPECT_EQ(texture_from_bmp(logo_image, logo_image_size, "rgb"), before + 1);
}

}  // namespace
