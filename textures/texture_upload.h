// texture_upload.h -- GL textures from pixel buffers, chosen by format keyword
#pragma once

#include <cstdint>

// Makes a 2D texture of `pixels` (rows bottom first) in the format the keyword
// names ("rgb", "rgba", "luminance", "jpg"); mipmaps only when mipmap is 1.
// Returns the new texture name, left bound; an unknown keyword gives a name with
// no image. A null `pixels` shows the ":textureLib" box and returns 0.
std::uint32_t texture_from_pixels(const std::uint8_t* pixels, const char* keyword,
                                  std::uint8_t mipmap, std::int32_t width, std::int32_t height);
