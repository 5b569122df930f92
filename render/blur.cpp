// blur.cpp -- placeholder until the zoom blur lands
#include "render/blur.h"

std::uint32_t create_blur_texture()
{
    return 0;
}
void capture_to_texture(std::uint32_t, std::uint32_t) {}
void push_ortho_view(float, float, float, float, float, float) {}
void draw_zoom_blur(std::int32_t, float, float, std::uint32_t) {}
