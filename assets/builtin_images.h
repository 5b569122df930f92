// builtin_images.h -- the three BMP images compiled into the program
#pragma once

#include <cstddef>
#include <cstdint>

// Complete BMP file images, each starting at its "BM" signature, with their
// lengths in bytes.
extern const std::uint8_t torus_image[];  // 256x256 surface texture of the torus
extern const std::size_t torus_image_size;
extern const std::uint8_t panel_image[];  // 32x32 soft grey glow of the panels
extern const std::size_t panel_image_size;
extern const std::uint8_t logo_image[];   // 256x64 lettering of the logo overlay
extern const std::size_t logo_image_size;
