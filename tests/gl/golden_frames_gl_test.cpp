// golden_frames_gl_test.cpp -- the README's three frames, drawn again, equal the committed pictures
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/frame_loop.h"
#include "platform/platform.h"
#include "state/app_state.h"
#include "tests/gl/render_checks.h"

namespace {

constexpr int width = 800;
constexpr int height = 600;

// An 8-bit RGB picture, top row first, as the PNG files hold it.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

bool read_png(const std::string& path, RgbImage* image, std::string* error)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        *error = png.message;
        return false;
    }
    png.format = PNG_FORMAT_RGB;
    image->width = static_cast<int>(png.width);
    image->height = static_cast<int>(png.height);
    image->rgb.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image->rgb.data(), 0, nullptr)) {
        *error = png.message;
        return false;
    }
    return true;
}

// The read-back picture (RGBA, bottom row first) as the PNG files hold one.
RgbImage as_rgb(const Picture& picture)
{
    RgbImage image{width, height, std::vector<std::uint8_t>(width * height * 3u)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            auto c = picture.at(x, height - 1 - y);
            std::uint8_t* out = &image.rgb[(static_cast<std::size_t>(y) * width + x) * 3u];
            out[0] = c[0];
            out[1] = c[1];
            out[2] = c[2];
        }
    }
    return image;
}

// Writes what was drawn beside the test, for a look at what changed.
void write_png(const std::string& path, const RgbImage& image)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&png, path.c_str(), 0, image.rgb.data(), 0, nullptr)) {
        std::printf("wrote the frame drawn to %s\n", path.c_str());
    }
}

// The demo's frames up to `frames.back()`, passing over those not asked for
// the way quorvex-capture seeks (the frame before each one asked for is drawn:
// it leaves the GL state the next inherits); the pictures of `frames`.
// The scaled window draws into its off-screen picture, where llvmpipe's blending rounds by up
// to 3 of 255 differently and a line's edge may fall on a neighbouring pixel (2 in frame 672).
const bool in_scaled_window = std::getenv("QUORVEX_GOLDEN_HOST") != nullptr;

std::vector<RgbImage> draw_frames(const std::vector<int>& frames)
{
    start_up({in_scaled_window ? Host::window : Host::fullscreen});
    std::vector<RgbImage> pictures;
    std::size_t next = 0;
    for (int frame = 1; frame <= frames.back(); ++frame) {
        if (frame + 1 < frames[next]) {
            skip_frame();
            continue;
        }
        draw_frame();
        if (frame == frames[next]) {
            pictures.push_back(as_rgb(read_picture()));
            ++next;
        }
        platform_swap_buffers(app.dc);
    }
    return pictures;
}

}  // namespace

// Bit for bit, no tolerance: the committed pictures were captured on the same
// driver (Mesa's llvmpipe, as packaged in Debian 12), which computes every
// pixel the same way on every run. A change to any constant, matrix or state
// the frames depend on shows up here as differing pixels; a new picture is
// made deliberately, with the command in the README.
TEST(GoldenFrames, TheReadmeFramesAreDrawnPixelForPixel)
{
    const std::vector<int> frames = {200, 500, 672};
    std::vector<RgbImage> drawn = draw_frames(frames);
    ASSERT_EQ(drawn.size(), frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06d.png", frames[i]);
        RgbImage golden;
        std::string error;
        ASSERT_TRUE(read_png(std::string(QUORVEX_DOCS_DIR "/") + name, &golden, &error))
            << name << ": " << error;
        ASSERT_EQ(golden.width, width) << name;
        ASSERT_EQ(golden.height, height) << name;

        const int tolerance = in_scaled_window ? 3 : 0;
        const long allowed = in_scaled_window ? 16 : 0;
        long differing = 0;
        int largest = 0;
        for (std::size_t p = 0; p < golden.rgb.size(); p += 3) {
            int difference = 0;
            for (std::size_t k = 0; k < 3; ++k) {
                difference = std::max(difference, std::abs(golden.rgb[p + k] - drawn[i].rgb[p + k]));
            }
            if (difference > tolerance && differing++ < 3 && allowed == 0) {
                int pixel = static_cast<int>(p / 3);
                ADD_FAILURE() << name << ": pixel " << pixel % width << "," << pixel / width
                              << " (from the top left) differs by up to " << difference;
            }
            largest = std::max(largest, difference);
        }
        EXPECT_LE(differing, allowed) << name << ": pixels differ, by up to " << largest;
        if (differing != 0) {
            write_png(std::string("drawn-") + name, drawn[i]);
        }
    }
}
