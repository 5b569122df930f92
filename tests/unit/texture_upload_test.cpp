// texture_upload_test.cpp -- the format keyword table and the missing-buffer box
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "tests/fakes/fake_platform.h"
#include "textures/format_keyword.h"
#include "textures/texture_upload.h"

namespace {

TEST(FormatKeyword, WholeLowerCaseTextsMatchTheirEntries)
{
    EXPECT_EQ(format_for_keyword("rgb"), std::uint32_t{GL_RGB});
    EXPECT_EQ(format_for_keyword("rgba"), std::uint32_t{GL_RGBA});
    EXPECT_EQ(format_for_keyword("luminance"), std::uint32_t{GL_LUMINANCE});
    EXPECT_EQ(format_for_keyword("jpg"), std::uint32_t{GL_RGB});
    EXPECT_EQ(bytes_per_pixel_for_keyword("rgb"), 3);
    EXPECT_EQ(bytes_per_pixel_for_keyword("rgba"), 4);
    EXPECT_EQ(bytes_per_pixel_for_keyword("luminance"), 1);
    EXPECT_EQ(bytes_per_pixel_for_keyword("jpg"), 3);
    for (const char* other : {"", "rgb ", " rgb", "rg", "rgbx", "RGB", "Jpg", "envmap"}) {
        EXPECT_EQ(format_for_keyword(other), 0u) << '"' << other << '"';
        EXPECT_EQ(bytes_per_pixel_for_keyword(other), 0) << '"' << other << '"';
    }
    EXPECT_EQ(format_for_keyword(nullptr), 0u);
}

TEST(TextureUpload, MissingBufferShowsTheBoxAndGivesZero)
{
    fake_reset();
    EXPECT_EQ(texture_from_pixels(nullptr, "rgb", 0, 4, 4), 0u);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"box :textureLib unable to load texture"}));

    // A buffer, known keyword or not, is never reported.
    fake_reset();
    const std::uint8_t pixels[48] = {};
    texture_from_pixels(pixels, "rgb", 0, 4, 4);
    texture_from_pixels(pixels, "", 0, 4, 4);
    EXPECT_TRUE(fake.calls.empty());
}

}  // namespace
