// bmp_read_fuzz.cpp -- libFuzzer target: any bytes, read as a BMP with every keyword
#include <cstddef>
#include <cstdint>

#include "state/app_state.h"
#include "textures/bmp_read.h"
#include "textures/format_keyword.h"

namespace {

const char* const keywords[] = {"rgb", "rgba", "luminance", "jpg", "envmap", "", nullptr};

// Reads every byte the GL would take for this upload, rows on 4-byte
// boundaries, so the sanitizer sees a read past the buffer as the GL would make it.
unsigned touch_upload(const BmpRead& read, std::int32_t bytes_per_pixel)
{
    if (read.width == 0 || read.height == 0 || bytes_per_pixel == 0) {
        return 0;
    }
    const std::size_t row = std::size_t(read.width) * std::size_t(bytes_per_pixel);
    const std::size_t stride = (row + 3) / 4 * 4;
    const volatile std::uint8_t* pixels = app.bmp_pixels.data();
    unsigned sum = 0;
    for (std::size_t y = 0; y < std::size_t(read.height); ++y) {
        sum += pixels[y * stride];
        sum += pixels[y * stride + row - 1];
    }
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (const char* keyword : keywords) {
        const BmpRead read = bmp_read_pixels(data, size, keyword);
        if (!read.ok) {
            continue;
        }
        if (read.width < 0 || read.height < 0 || read.size_image < 0 ||
            app.bmp_pixels.size() != std::size_t(read.size_image) + 4) {
            __builtin_trap();
        }
        touch_upload(read, bytes_per_pixel_for_keyword(keyword));
    }
    return 0;
}
