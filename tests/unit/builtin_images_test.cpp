// builtin_images_test.cpp -- headers and content of the three embedded BMP images
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <vector>

#include "assets/builtin_images.h"
#include "state/app_state.h"
#include "textures/bmp_read.h"

namespace {

struct Embedded {
    const char* name;
    const std::uint8_t* bytes;
    std::size_t size;
    std::int32_t width;
    std::int32_t height;
};

const Embedded images[] = {
    {"torus", torus_image, torus_image_size, 256, 256},
    {"panel", panel_image, panel_image_size, 32, 32},
    {"logo", logo_image, logo_image_size, 256, 64},
};

std::uint32_t field(const std::uint8_t* bytes, int offset, int count)
{
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | bytes[offset + i];
    }
    return value;
}

// Channel c (0 red, 1 green, 2 blue) of pixel (x, y), y counted from the bottom row.
int channel(const Embedded& image, int x, int y, int c)
{
    return image.bytes[54 + (std::size_t(y) * image.width + x) * 3 + (2 - c)];
}

TEST(BuiltinImages, HeadersAreThoseOfPlain24BitImages)
{
    const std::uint32_t file_sizes[] = {196664, 3128, 49208};
    for (int i = 0; i < 3; ++i) {
        const Embedded& image = images[i];
        SCOPED_TRACE(image.name);
        ASSERT_EQ(image.size, file_sizes[i]);
        const std::uint8_t* b = image.bytes;
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        EXPECT_EQ(field(b, 2, 4), file_sizes[i]);
        EXPECT_EQ(field(b, 6, 2), 0u);
        EXPECT_EQ(field(b, 8, 2), 0u);
        EXPECT_EQ(field(b, 10, 4), 54u);
        EXPECT_EQ(field(b, 14, 4), 40u);
        EXPECT_EQ(field(b, 18, 4), std::uint32_t(image.width));
        EXPECT_EQ(field(b, 22, 4), std::uint32_t(image.height));
        EXPECT_EQ(field(b, 26, 2), 1u);
        EXPECT_EQ(field(b, 28, 2), 24u);
        EXPECT_EQ(field(b, 30, 4), 0u);
        EXPECT_EQ(field(b, 34, 4), 0u);
        EXPECT_EQ(field(b, 38, 4), 2834u);
        EXPECT_EQ(field(b, 42, 4), 2834u);
        EXPECT_EQ(field(b, 46, 4), 0u);
        EXPECT_EQ(field(b, 50, 4), 0u);
        EXPECT_EQ(b[image.size - 2], 0);
        EXPECT_EQ(b[image.size - 1], 0);
    }
}

TEST(BuiltinImages, DecodeToRedFirstBuffersOfTheWholePicture)
{
    for (const Embedded& image : images) {
        SCOPED_TRACE(image.name);
        const BmpRead read = bmp_read_pixels(image.bytes, image.size, "rgb");
        ASSERT_TRUE(read.ok);
        const std::size_t pixel_bytes = std::size_t(image.width) * image.height * 3;
        EXPECT_EQ(std::size_t(read.size_image), pixel_bytes);
        ASSERT_EQ(app.bmp_pixels.size(), pixel_bytes + 4);
        for (std::size_t i = 0; i < pixel_bytes; i += 3) {
            ASSERT_EQ(app.bmp_pixels[i], image.bytes[54 + i + 2]) << i;
            ASSERT_EQ(app.bmp_pixels[i + 1], image.bytes[54 + i + 1]) << i;
            ASSERT_EQ(app.bmp_pixels[i + 2], image.bytes[54 + i]) << i;
        }
    }
}

TEST(BuiltinImages, TorusIsADarkSurfaceThatRepeatsAcrossItsEdges)
{
    const Embedded& torus = images[0];
    double sum[3] = {};
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            for (int c = 0; c < 3; ++c) {
                sum[c] += channel(torus, x, y, c);
            }
        }
    }
    EXPECT_NEAR(sum[0] / 65536, 94, 2);
    EXPECT_NEAR(sum[1] / 65536, 82, 2);
    EXPECT_NEAR(sum[2] / 65536, 75, 2);

    // Warm and cool areas: the upper right leans to red, the upper left to blue.
    auto red_minus_blue = [&](int x0, int y0) {
        double d = 0;
        for (int y = y0; y < y0 + 64; ++y) {
            for (int x = x0; x < x0 + 64; ++x) {
                d += channel(torus, x, y, 0) - channel(torus, x, y, 2);
            }
        }
        return d / 4096;
    };
    EXPECT_GT(red_minus_blue(160, 160), 40);
    EXPECT_LT(red_minus_blue(32, 160), -5);

    // The step from the last column to the first is no larger than a typical
    // step between neighbouring columns.
    auto column_step = [&](int a, int b) {
        double d = 0;
        for (int y = 0; y < 256; ++y) {
            for (int c = 0; c < 3; ++c) {
                d += std::abs(channel(torus, a, y, c) - channel(torus, b, y, c));
            }
        }
        return d / (256 * 3);
    };
    double typical = 0;
    for (int x = 0; x < 255; ++x) {
        typical += column_step(x, x + 1);
    }
    typical /= 255;
    EXPECT_LT(column_step(255, 0), typical * 1.5);
}

TEST(BuiltinImages, PanelIsAGreyGlowWithABrightCoreAndABlackRim)
{
    const Embedded& panel = images[1];
    int brightest = 0;
    int core = 0;
    int core_x0 = 32, core_x1 = -1, core_y0 = 32, core_y1 = -1;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const int v = channel(panel, x, y, 0);
            ASSERT_EQ(channel(panel, x, y, 1), v);
            ASSERT_EQ(channel(panel, x, y, 2), v);
            brightest = std::max(brightest, v);
            if (v >= 250) {
                ++core;
                core_x0 = std::min(core_x0, x);
                core_x1 = std::max(core_x1, x);
                core_y0 = std::min(core_y0, y);
                core_y1 = std::max(core_y1, y);
            }
            if (x == 0 || y == 0 || x == 31 || y == 31) {
                EXPECT_EQ(v, 0) << x << "," << y;
            }
        }
    }
    EXPECT_EQ(brightest, 254);
    EXPECT_EQ(core, 20);
    EXPECT_EQ(core_x1 - core_x0 + 1, 5);
    EXPECT_EQ(core_y1 - core_y0 + 1, 4);
    EXPECT_TRUE(core_x0 >= 13 && core_x1 <= 18 && core_y0 >= 13 && core_y1 <= 18);

    // Falling smoothly: never brighter further out from the core along a row or
    // a column, and no step of more than a quarter of full brightness.
    const int cx = (core_x0 + core_x1) / 2;
    const int cy = (core_y0 + core_y1) / 2;
    for (int step : {-1, 1}) {
        for (int x = cx; x + step >= 0 && x + step < 32; x += step) {
            EXPECT_GE(channel(panel, x, cy, 0), channel(panel, x + step, cy, 0));
            EXPECT_LE(channel(panel, x, cy, 0) - channel(panel, x + step, cy, 0), 64);
        }
        for (int y = cy; y + step >= 0 && y + step < 32; y += step) {
            EXPECT_GE(channel(panel, cx, y, 0), channel(panel, cx, y + step, 0));
            EXPECT_LE(channel(panel, cx, y, 0) - channel(panel, cx, y + step, 0), 64);
        }
    }
}

TEST(BuiltinImages, LogoIsGreyLetteringInsideItsBox)
{
    const Embedded& logo = images[2];
    std::set<int> levels;
    int x0 = 256, x1 = -1, y0 = 64, y1 = -1;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 256; ++x) {
            const int v = channel(logo, x, y, 0);
            ASSERT_EQ(channel(logo, x, y, 1), v);
            ASSERT_EQ(channel(logo, x, y, 2), v);
            levels.insert(v);
            if (v != 0) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        }
    }
    std::set<int> expected{255};
    for (int v = 0; v <= 240; v += 16) {
        expected.insert(v);
    }
    EXPECT_EQ(levels, expected);
    EXPECT_EQ(x0, 16);
    EXPECT_EQ(x1, 245);
    EXPECT_EQ(y0, 9);
    EXPECT_EQ(y1, 52);
}

}  // namespace
