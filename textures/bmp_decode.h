// bmp_decode.h -- textures from 24-bit BMP images held in memory
#pragma once

#include <cstddef>
#include <cstdint>

// Decodes the BMP image of `length` bytes at `image` and uploads it through
// texture_from_pixels with `keyword` ("rgb" turns BGR into RGB). Returns the
// texture name, or 0, silently, for a wrong signature or an image whose header
// would take the decoder outside it. Needs a current GL context.
std::uint32_t texture_from_bmp(const std::uint8_t* image, std::size_t length, const char* keyword);
