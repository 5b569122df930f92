// capture_encode_test.cpp -- the capture's PNG and Y4M encoders and progress text
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "capture/png_writer.h"
#include "capture/progress.h"
#include "capture/y4m_writer.h"

namespace {

// A width x height RGBA image, bottom row first as the GL reads it back, with
// every pixel different so that a swapped row or channel shows.
std::vector<std::uint8_t> test_image(int width, int height)
{
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width * height * 4));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = &rgba[static_cast<std::size_t>((y * width + x) * 4)];
            pixel[0] = static_cast<std::uint8_t>(x * 7 + y);
            pixel[1] = static_cast<std::uint8_t>(y * 13);
            pixel[2] = static_cast<std::uint8_t>(255 - x * 3);
            pixel[3] = 99;
        }
    }
    return rgba;
}

// Encodes `rgba` both ways, decodes with libpng and compares every pixel.
void expect_round_trip(const std::vector<std::uint8_t>& rgba, int width, int height,
                       const char* what)
{
    for (PngCompression level : {png_compression_fast, png_compression_small}) {
        SCOPED_TRACE(std::string(what) + (level == png_compression_fast ? ", fast" : ", small"));
        // A buffer left larger by an earlier image must not matter.
        std::vector<std::uint8_t> png(3'000'000, 0xAB);
        std::size_t size = encode_png(rgba.data(), width, height, level, &png);
        ASSERT_GT(size, std::size_t{0});
        ASSERT_LE(size, png.size());
        png.resize(size);

        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()))
            << image.message;
        EXPECT_EQ(image.width, static_cast<png_uint_32>(width));
        EXPECT_EQ(image.height, static_cast<png_uint_32>(height));
        EXPECT_EQ(image.format, static_cast<png_uint_32>(PNG_FORMAT_RGB));
        std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) << image.message;

        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* source =
                    &rgba[static_cast<std::size_t>(((height - 1 - y) * width + x) * 4)];
                const std::uint8_t* decoded = &rgb[static_cast<std::size_t>((y * width + x) * 3)];
                ASSERT_EQ(decoded[0], source[0]) << x << "," << y;
                ASSERT_EQ(decoded[1], source[1]) << x << "," << y;
                ASSERT_EQ(decoded[2], source[2]) << x << "," << y;
            }
        }
    }
}

TEST(CapturePng, DecodesToTheSameRgbTopRowFirst)
{
    expect_round_trip(test_image(37, 11), 37, 11, "gradient");
    expect_round_trip(test_image(1, 1), 1, 1, "one pixel");
}

// The fast encoder turns runs of equal bytes into copies of at most 258 bytes:
// runs of every length around its limits, long flat areas and noise must all
// come back unchanged.
TEST(CapturePng, RunsOfEveryLengthAndNoiseSurvive)
{
    const int width = 800;
    const int height = 6;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width * height * 4), 0);
    std::size_t at = 0;
    std::uint8_t value = 1;
    // The top row: runs of 1 to 300 bytes, each of a new value.
    for (std::size_t length = 1; at < static_cast<std::size_t>(width) * 4; ++length, ++value) {
        for (std::size_t i = 0; i < length && at < static_cast<std::size_t>(width) * 4; ++i, ++at) {
            rgba[static_cast<std::size_t>((height - 1) * width * 4) + at] = value;
        }
    }
    // The next row repeats it (all zeros once filtered); then noise; then a
    // row of one colour; the bottom rows stay black.
    std::copy_n(&rgba[static_cast<std::size_t>((height - 1) * width * 4)], width * 4,
                &rgba[static_cast<std::size_t>((height - 2) * width * 4)]);
    std::uint32_t seed = 12345;
    for (int i = 0; i < width * 4; ++i) {
        seed = seed * 1103515245u + 12345u;
        rgba[static_cast<std::size_t>((height - 3) * width * 4 + i)] =
            static_cast<std::uint8_t>(seed >> 16);
    }
    for (int x = 0; x < width; ++x) {
        std::uint8_t* pixel = &rgba[static_cast<std::size_t>(((height - 4) * width + x) * 4)];
        pixel[0] = 0;
        pixel[1] = 0;
        pixel[2] = 77;
    }
    expect_round_trip(rgba, width, height, "runs");
    expect_round_trip(std::vector<std::uint8_t>(800 * 600 * 4, 255), 800, 600, "white frame");
}

// Byte counts that follow the Fibonacci numbers make the plain Huffman tree
// deeper than the encoder allows its codes to be; it must flatten it.
TEST(CapturePng, SkewedBytesGetCodesWithinDeflatesLimit)
{
    std::vector<std::uint8_t> bytes;
    std::uint32_t a = 1;
    std::uint32_t b = 1;
    for (std::uint8_t symbol = 0; symbol < 24; ++symbol) {
        bytes.insert(bytes.end(), a, static_cast<std::uint8_t>(symbol * 10));
        std::uint32_t next = a + b;
        a = b;
        b = next;
    }
    std::uint32_t seed = 99;
    for (std::size_t i = bytes.size() - 1; i > 0; --i) {
        seed = seed * 1103515245u + 12345u;
        std::swap(bytes[i], bytes[(seed >> 8) % (i + 1)]);
    }
    // One row, so the bytes go in unfiltered: three to a pixel.
    const int width = static_cast<int>(bytes.size() / 3);
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * 4);
    for (int x = 0; x < width; ++x) {
        std::copy_n(&bytes[static_cast<std::size_t>(x) * 3], 3, &rgba[static_cast<std::size_t>(x) * 4]);
    }
    expect_round_trip(rgba, width, 1, "skewed");
}

TEST(CapturePng, RefusesAnEmptyImage)
{
    std::vector<std::uint8_t> png;
    EXPECT_EQ(encode_png(nullptr, 0, 4, png_compression_fast, &png), std::size_t{0});
}

TEST(CaptureY4m, HeaderNamesSizeRateAndChromaLayout)
{
    EXPECT_EQ(y4m_stream_header(800, 600, 60, 1),
              "YUV4MPEG2 W800 H600 F60:1 Ip A1:1 C420jpeg XCOLORRANGE=LIMITED\n");
    EXPECT_EQ(y4m_stream_header(800, 600, 30000, 1001).find("F30000:1001 "), std::size_t{20});
    EXPECT_EQ(y4m_frame_size(800, 600), std::size_t{720000});
}

// Y, Cb, Cr of a 2x2 image of one colour.
std::vector<int> convert_flat(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    const std::uint8_t pixel[4] = {r, g, b, 0};
    std::vector<std::uint8_t> rgba(16);
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        rgba[i] = pixel[i % 4];
    }
    std::vector<std::uint8_t> yuv(y4m_frame_size(2, 2));
    rgba_to_yuv420(rgba.data(), 2, 2, yuv.data());
    return {yuv[0], yuv[4], yuv[5]};
}

TEST(CaptureY4m, Bt601LimitedRange)
{
    EXPECT_EQ(convert_flat(255, 255, 255), (std::vector<int>{235, 128, 128}));
    EXPECT_EQ(convert_flat(0, 0, 0), (std::vector<int>{16, 128, 128}));
    EXPECT_EQ(convert_flat(128, 128, 128), (std::vector<int>{126, 128, 128}));
    // The primaries' textbook values.
    EXPECT_EQ(convert_flat(255, 0, 0), (std::vector<int>{81, 90, 240}));
    EXPECT_EQ(convert_flat(0, 255, 0), (std::vector<int>{145, 54, 34}));
    EXPECT_EQ(convert_flat(0, 0, 255), (std::vector<int>{41, 240, 110}));
}

TEST(CaptureY4m, PlanesRunTopRowFirstAndChromaAveragesEachBlock)
{
    // 4x2: GL row 0 (the bottom) black, GL row 1 (the top) white, except one
    // red pixel at the top right.
    std::vector<std::uint8_t> rgba(4 * 2 * 4, 0);
    for (int x = 0; x < 4; ++x) {
        std::uint8_t* top = &rgba[static_cast<std::size_t>((4 + x) * 4)];
        top[0] = top[1] = top[2] = 255;
    }
    rgba[(4 + 3) * 4 + 1] = 0;
    rgba[(4 + 3) * 4 + 2] = 0;
    std::vector<std::uint8_t> yuv(y4m_frame_size(4, 2));
    rgba_to_yuv420(rgba.data(), 4, 2, yuv.data());
    EXPECT_EQ((std::vector<int>(yuv.begin(), yuv.begin() + 8)),
              (std::vector<int>{235, 235, 235, 81, 16, 16, 16, 16}));
    EXPECT_EQ(yuv[8], 128);   // left block: grey on average
    EXPECT_EQ(yuv[10], 128);
    EXPECT_LT(yuv[9], 128);   // right block: white, red and two blacks lean red
    EXPECT_GT(yuv[11], 128);
}

// Wide rows go eight pixels at a time, a row's last few one block at a time;
// both must give the same bytes. Each 2x2 block of a noisy image is converted
// alone (two pixels wide: the block path) and compared with the whole.
TEST(CaptureY4m, WideRowsAndSingleBlocksAgree)
{
    const int width = 22;
    const int height = 4;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width * height * 4));
    std::uint32_t seed = 7;
    for (std::uint8_t& byte : rgba) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(seed >> 16);
    }
    std::vector<std::uint8_t> whole(y4m_frame_size(width, height));
    rgba_to_yuv420(rgba.data(), width, height, whole.data());
    const std::size_t luma_size = static_cast<std::size_t>(width * height);
    const std::size_t chroma_size = luma_size / 4;
    for (int by = 0; by < height; by += 2) {
        for (int bx = 0; bx < width; bx += 2) {
            // GL rows count from the bottom: output row `by` is GL row height-1-by.
            std::vector<std::uint8_t> block;
            for (int gl_row : {height - 2 - by, height - 1 - by}) {
                const std::uint8_t* at = &rgba[static_cast<std::size_t>((gl_row * width + bx) * 4)];
                block.insert(block.end(), at, at + 8);
            }
            std::vector<std::uint8_t> alone(y4m_frame_size(2, 2));
            rgba_to_yuv420(block.data(), 2, 2, alone.data());
            const std::size_t y_at = static_cast<std::size_t>(by * width + bx);
            const std::size_t c_at = static_cast<std::size_t>((by / 2) * (width / 2) + bx / 2);
            EXPECT_EQ(whole[y_at], alone[0]) << bx << "," << by;
            EXPECT_EQ(whole[y_at + 1], alone[1]) << bx << "," << by;
            EXPECT_EQ(whole[y_at + width], alone[2]) << bx << "," << by;
            EXPECT_EQ(whole[y_at + width + 1], alone[3]) << bx << "," << by;
            EXPECT_EQ(whole[luma_size + c_at], alone[4]) << bx << "," << by;
            EXPECT_EQ(whole[luma_size + chroma_size + c_at], alone[5]) << bx << "," << by;
        }
    }
}

TEST(CaptureProgress, LineAndSummary)
{
    EXPECT_EQ(format_duration(0.4), "0:00");
    EXPECT_EQ(format_duration(65.0), "1:05");
    EXPECT_EQ(format_duration(3725.0), "1:02:05");
    EXPECT_EQ(format_duration(-3.0), "0:00");
    EXPECT_EQ(format_progress(341, 682, 10.0),
              "[###############               ] 341/682 frames  34.1 fps  0:10 left");
    EXPECT_EQ(format_progress(0, 682, 0.0),
              "[                              ] 0/682 frames  -- fps  -- left");
    EXPECT_EQ(format_summary(682, 3, "docs", 20.0),
              "682 frames rendered in 20.0 s (34.1 fps), 3 written to docs");
    EXPECT_EQ(format_summary(1, 0, "", 0.5), "1 frame rendered in 0.5 s (2.0 fps), none written");
}

}  // namespace
