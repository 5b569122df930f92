// bmp_decode.cpp -- decodes 24-bit BMP images held in memory into GL textures
#include "textures/bmp_decode.h"

#include <vector>

#include "state/app_state.h"
#include "textures/bmp_read.h"
#include "textures/texture_upload.h"

std::uint32_t texture_from_bmp(const std::uint8_t* image, std::size_t length, const char* keyword)
{
    // A rejected image costs nothing: no GL call, no texture name.
    const BmpRead read = bmp_read_pixels(image, length, keyword);
    if (!read.ok) {
        return 0;
    }
    // Rows go up as stored, bottom row first, and never with mipmaps.
    const std::uint32_t name =
        texture_from_pixels(app.bmp_pixels.data(), keyword, 0, read.width, read.height);
    // The buffer holds image data only while a decode is in progress.
    app.bmp_pixels = std::vector<std::uint8_t>();
    return name;
}
