// texture_upload.cpp -- placeholder until the texture module lands
#include "textures/texture_upload.h"

std::uint32_t texture_from_pixels(const std::uint8_t*, const char*, std::uint8_t, std::int32_t,
                                  std::int32_t)
{
    return 0;
}
