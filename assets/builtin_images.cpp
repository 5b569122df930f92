// builtin_images.cpp -- placeholder until the built-in images are generated and embedded
#include "assets/builtin_images.h"

const std::uint8_t torus_image[] = {0};
const std::size_t torus_image_size = 0;
const std::uint8_t panel_image[] = {0};
const std::size_t panel_image_size = 0;
const std::uint8_t logo_image[] = {0};
const std::size_t logo_image_size = 0;
