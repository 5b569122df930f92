// bmp_decode.cpp -- placeholder until the BMP decoder lands
#include "textures/bmp_decode.h"

std::uint32_t texture_from_bmp(const std::uint8_t*, std::size_t, const char*)
{
    return 0;
}
