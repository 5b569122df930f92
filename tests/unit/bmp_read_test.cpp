// bmp_read_test.cpp -- reading BMP headers and pixel bytes, and refusing damaged images
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "state/app_state.h"
#include "tests/unit/bmp_test_image.h"
#include "textures/bmp_read.h"

namespace {

BmpRead read(const std::vector<std::uint8_t>& image, const char* keyword)
{
    return bmp_read_pixels(image.data(), image.size(), keyword);
}

std::vector<std::uint8_t> buffer_start(std::size_t count)
{
    return std::vector<std::uint8_t>(app.bmp_pixels.begin(), app.bmp_pixels.begin() + count);
}

TEST(BmpRead, ComputedSizeGivesPixelsPlusFourWithChannelsExchanged)
{
    const auto pixels = pattern_bytes(196608);
    const BmpRead result = read(make_bmp({256, 256, 24, 0, 54}, pixels), "rgb");
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.width, 256);
    EXPECT_EQ(result.height, 256);
    EXPECT_EQ(result.size_image, 196608);
    ASSERT_EQ(app.bmp_pixels.size(), 196608u + 4);
    EXPECT_EQ(buffer_start(196608), exchanged(pixels, 196608));
    EXPECT_EQ(std::vector<std::uint8_t>(app.bmp_pixels.end() - 4, app.bmp_pixels.end()),
              std::vector<std::uint8_t>(4, 0));
}

TEST(BmpRead, SizeFallbackShiftsTheBitProductRight)
{
    // 8 x 4 pixels of 8 bits: 256 bits, 32 bytes; the upload in "luminance" reads exactly those.
    const auto pixels = pattern_bytes(32);
    const BmpRead result = read(make_bmp({8, 4, 8, 0, 54}, pixels), "luminance");
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.size_image, 32);
    EXPECT_EQ(app.bmp_pixels.size(), 36u);
}

TEST(BmpRead, NonZeroSizeImageIsUsedAsGiven)
{
    // Larger than 4 x 4 x 3: the run goes on past the pixels into the trailing bytes.
    auto pixels = pattern_bytes(48);
    const BmpRead result = read(make_bmp({4, 4, 24, 49, 54}, pixels), "rgb");
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.size_image, 49);
    ASSERT_EQ(app.bmp_pixels.size(), 53u);
    pixels.push_back(0);  // the first trailing zero of the image
    pixels.resize(53, 0);
    EXPECT_EQ(app.bmp_pixels, exchanged(pixels, 49));
}

TEST(BmpRead, PixelOffsetSkipsAPalette)
{
    const auto pixels = pattern_bytes(48);
    const auto image = make_bmp({4, 4, 24, 0, 54 + 1024}, pixels);
    ASSERT_EQ(image[54], 0xEE);
    ASSERT_TRUE(read(image, "jpg").ok);
    EXPECT_EQ(buffer_start(48), pixels);
}

TEST(BmpRead, OnlyRgbAndEnvmapExchangeChannels)
{
    const auto pixels = pattern_bytes(48);
    const auto image = make_bmp({}, pixels);
    for (const char* keyword : {"rgb", "envmap"}) {
        ASSERT_TRUE(read(image, keyword).ok) << keyword;
        EXPECT_EQ(buffer_start(48), exchanged(pixels, 48)) << keyword;
    }
    for (const char* keyword : {"luminance", "jpg", "RGB", "rgb ", "", "envmap2"}) {
        ASSERT_TRUE(read(image, keyword).ok) << keyword;
        EXPECT_EQ(buffer_start(48), pixels) << keyword;
    }
    ASSERT_TRUE(read(image, nullptr).ok);
    EXPECT_EQ(buffer_start(48), pixels);
}

TEST(BmpRead, ExchangeOfARaggedRunStaysInsideTheBuffer)
{
    // 50 bytes: the last step exchanges byte 48 with byte 50, the first zero past the run.
    const auto pixels = pattern_bytes(50);
    ASSERT_TRUE(read(make_bmp({4, 4, 24, 50, 54}, pixels), "rgb").ok);
    auto expected = pixels;
    expected.resize(54, 0);
    EXPECT_EQ(app.bmp_pixels, exchanged(expected, 50));
    EXPECT_EQ(app.bmp_pixels[48], 0);
    EXPECT_EQ(app.bmp_pixels[50], pixels[48]);
}

// Every refusal must leave the previous buffer as it was.
void expect_rejected(const std::vector<std::uint8_t>& image, const char* keyword,
                     const char* what)
{
    app.bmp_pixels.assign({1, 2, 3});
    EXPECT_FALSE(read(image, keyword).ok) << what;
    EXPECT_EQ(app.bmp_pixels, (std::vector<std::uint8_t>{1, 2, 3})) << what;
}

TEST(BmpRead, AnyOtherSignatureIsRefused)
{
    const auto good = make_bmp({}, pattern_bytes(48));
    for (const char* signature : {"MB", "BN", "bm", "\0M", "B\0"}) {
        auto image = good;
        std::memcpy(image.data(), signature, 2);
        expect_rejected(image, "rgb", signature);
    }
}

TEST(BmpRead, DamagedHeadersAreRefused)
{
    const auto pixels = pattern_bytes(48);
    auto far_offset = make_bmp({}, pixels);
    put_le(far_offset, 10, static_cast<std::uint32_t>(far_offset.size() + 1), 4);
    expect_rejected(far_offset, "", "offset past the end");
    put_le(far_offset, 10, static_cast<std::uint32_t>(far_offset.size() - 47), 4);
    expect_rejected(far_offset, "", "run of 48 from 47 bytes before the end");
    expect_rejected(make_bmp({4, 4, 24, 0, -1}, pixels), "rgb", "negative offset");
    expect_rejected(make_bmp({-4, 4, 24, 0, 54}, pixels), "", "negative width");
    expect_rejected(make_bmp({4, -4, 24, 0, 54}, pixels), "", "negative height (top-down)");
    expect_rejected(make_bmp({4, 4, -24, 0, 54}, pixels), "", "negative bit count");
    expect_rejected(make_bmp({4, 4, 24, -48, 54}, pixels), "", "negative size");
    expect_rejected(make_bmp({4, 4, 24, 51, 54}, pixels), "", "size past the end");
    expect_rejected(make_bmp({4, 4, 24, 0x7FFFFFFF, 54}, pixels), "", "huge size");
    expect_rejected(make_bmp({4, 5, 24, 0, 54}, pixels), "", "computed run past the end");
    expect_rejected(make_bmp({65536, 65536, 24, 0, 54}, pixels), "", "area overflows");
    expect_rejected(make_bmp({16384, 16384, 24, 0, 54}, pixels), "", "bit product overflows");
    expect_rejected(make_bmp({0x7FFFFFFF, 0x7FFFFFFF, 24, 48, 54}, pixels), "rgb",
                    "huge upload from a small given size");
}

TEST(BmpRead, RunsShorterThanTheUploadAreRefused)
{
    // The GL reads width x height pixels in the keyword's format whatever the
    // header says the run holds.
    const auto pixels = pattern_bytes(48);
    expect_rejected(make_bmp({4, 4, 24, 40, 54}, pixels), "rgb", "given size too small");
    expect_rejected(make_bmp({4, 4, 24, 0, 54}, pixels), "rgba", "4 bytes a pixel from 3");
    expect_rejected(make_bmp({4, 4, 8, 0, 54}, pixels), "rgb", "8-bit image read as rgb");
    // 3 x 3 at 24 bits: rows of 9 bytes, but the GL starts each row on 4 bytes.
    expect_rejected(make_bmp({3, 3, 24, 0, 54}, pattern_bytes(27)), "rgb", "padded rows");

    // With no format the GL reads nothing, so the same images are fine.
    EXPECT_TRUE(read(make_bmp({4, 4, 24, 0, 54}, pixels), "envmap").ok);
    EXPECT_TRUE(read(make_bmp({3, 3, 24, 0, 54}, pattern_bytes(27)), "").ok);
    // The 4 zero bytes may complete the last pixel.
    EXPECT_TRUE(read(make_bmp({4, 4, 24, 44, 54}, pixels), "rgb").ok);
}

TEST(BmpRead, TruncatedImagesAreRefused)
{
    const auto image = make_bmp({}, pattern_bytes(48));
    // Without its two trailing zero bytes the image still holds every pixel.
    for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{53}, std::size_t{54},
                               std::size_t{54 + 47}}) {
        app.bmp_pixels.assign({1, 2, 3});
        EXPECT_FALSE(bmp_read_pixels(image.data(), length, "rgb").ok) << length;
        EXPECT_EQ(app.bmp_pixels, (std::vector<std::uint8_t>{1, 2, 3})) << length;
    }
    EXPECT_TRUE(bmp_read_pixels(image.data(), 54 + 48, "rgb").ok);
    EXPECT_FALSE(bmp_read_pixels(nullptr, 100, "rgb").ok);
}

}  // namespace
