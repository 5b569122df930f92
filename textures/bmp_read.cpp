// bmp_read.cpp -- reads and checks BMP headers and copies out the pixel bytes
#include "textures/bmp_read.h"

#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "state/app_state.h"
#include "textures/format_keyword.h"

namespace {

constexpr std::size_t headers_size = 54;  // 14-byte file header + 40-byte info header
constexpr std::int32_t bmp_signature = 0x4D42;  // "BM" read little-endian

// Header fields are little-endian and read as signed values.
std::int16_t read_i16(const std::uint8_t* at)
{
    return static_cast<std::int16_t>(at[0] | at[1] << 8);
}

std::int32_t read_i32(const std::uint8_t* at)
{
    const std::uint32_t bits = static_cast<std::uint32_t>(at[0]) |
                               static_cast<std::uint32_t>(at[1]) << 8 |
                               static_cast<std::uint32_t>(at[2]) << 16 |
                               static_cast<std::uint32_t>(at[3]) << 24;
    return static_cast<std::int32_t>(bits);
}

bool exchanges_channels(const char* keyword)
{
    return keyword && (std::strcmp(keyword, "rgb") == 0 || std::strcmp(keyword, "envmap") == 0);
}

// Bytes the GL reads for a width x height upload of `bytes_per_pixel`, rows
// starting on the default 4-byte unpack boundary, or -1 when that is more than
// `available`. Bounded before multiplying so nothing overflows 64 bits.
std::int64_t upload_bytes(std::int32_t width, std::int32_t height, std::int32_t bytes_per_pixel,
                          std::int64_t available)
{
    if (width == 0 || height == 0 || bytes_per_pixel == 0) {
        return 0;
    }
    const std::int64_t row = std::int64_t{width} * bytes_per_pixel;
    if (row > available) {
        return -1;
    }
    const std::int64_t stride = (row + 3) / 4 * 4;
    const std::int64_t total = stride * (height - 1) + row;
    return total > available ? -1 : total;
}

}  // namespace

BmpRead bmp_read_pixels(const std::uint8_t* image, std::size_t length, const char* keyword)
{
    const BmpRead rejected{false, 0, 0, 0};
    if (!image || length < headers_size) {
        return rejected;
    }
    if (read_i16(image + 0) != static_cast<std::int16_t>(bmp_signature)) {
        return rejected;
    }
    const std::int32_t off_bits = read_i32(image + 10);
    const std::int32_t width = read_i32(image + 18);
    const std::int32_t height = read_i32(image + 22);
    const std::int16_t bit_count = read_i16(image + 28);
    std::int32_t size_image = read_i32(image + 34);

    if (off_bits < 0 || width < 0 || height < 0 || size_image < 0) {
        return rejected;
    }
    if (size_image == 0) {
        // No row padding in this size: the decoder expects rows of whole 4-byte
        // multiples. An arithmetic shift, so a negative product stays negative.
        const std::int64_t area = std::int64_t{width} * height;
        if (area > std::numeric_limits<std::int32_t>::max()) {
            return rejected;
        }
        const std::int64_t bits = area * bit_count;
        if (bits < std::numeric_limits<std::int32_t>::min() ||
            bits > std::numeric_limits<std::int32_t>::max()) {
            return rejected;
        }
        size_image = static_cast<std::int32_t>(bits) >> 3;
        if (size_image < 0) {
            return rejected;
        }
    }
    const auto offset = static_cast<std::size_t>(off_bits);
    const auto size = static_cast<std::size_t>(size_image);
    if (offset > length || size > length - offset) {
        return rejected;
    }
    // The GL reads width x height pixels from the buffer, whatever the header
    // says the pixel run holds; it must stay inside the buffer.
    const std::int32_t bytes_per_pixel = bytes_per_pixel_for_keyword(keyword);
    if (upload_bytes(width, height, bytes_per_pixel, std::int64_t{size_image} + 4) < 0) {
        return rejected;
    }

    // The 4 zero bytes past the pixels keep the 3-byte exchange inside the
    // buffer when the run does not end on a whole pixel.
    app.bmp_pixels = std::vector<std::uint8_t>(size + 4);
    std::uint8_t* pixels = app.bmp_pixels.data();
    if (size > 0) {
        std::memcpy(pixels, image + offset, size);
    }
    if (exchanges_channels(keyword)) {
        for (std::size_t i = 0; i < size; i += 3) {
            std::swap(pixels[i], pixels[i + 2]);
        }
    }
    return BmpRead{true, width, height, size_image};
}
