// builtin_images.cpp -- the three BMP images, embedded from assets/*.bmp at build time
#include "assets/builtin_images.h"

// Each list is the whole file, headers and the two trailing zero bytes included.
const std::uint8_t torus_image[] = {
#include "torus_bytes.inc"
};
const std::size_t torus_image_size = sizeof torus_image;

const std::uint8_t panel_image[] = {
#include "panel_bytes.inc"
};
const std::size_t panel_image_size = sizeof panel_image;

const std::uint8_t logo_image[] = {
#include "logo_bytes.inc"
};
const std::size_t logo_image_size = sizeof logo_image;
