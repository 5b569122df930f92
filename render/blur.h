// blur.h -- the zoom blur: the 128x128 capture texture and its layered composite
#pragma once

#include <cstdint>

// A new 128x128 RGBA texture of transparent black, linear filters, left bound.
std::uint32_t create_blur_texture();

// Draws `list` into the 128x128 corner, copies it into `texture` as luminance,
// clears the whole frame buffer to (0, 0, 0.3, 0.5) and restores the 800x600 viewport.
void capture_to_texture(std::uint32_t list, std::uint32_t texture);

// Saves the projection and loads an orthographic one; the modelview becomes identity.
void push_ortho_view(float left, float right, float bottom, float top, float near_plane,
                     float far_plane);

// Lays `texture` over the viewport `count` times, each layer magnified by `step`
// more and fainter by start_alpha / count; restores the projection.
void draw_zoom_blur(std::int32_t count, float step, float start_alpha, std::uint32_t texture);
