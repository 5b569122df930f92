// blur.h -- the zoom blur: the 128x128 capture texture and its layered composite
#pragma once

#include <cstdint>

// A new 128x128 texture of transparent black (four components, linear
// filters, no mipmaps), left bound to GL_TEXTURE_2D. When its zero buffer
// cannot be had the texture gets no initial contents and the name is still
// returned. Called once by setup_render_state.
std::uint32_t create_blur_texture();

// Draws `list` with the caller's matrices and state into the 128x128 lower-left
// corner, copies that corner into `texture` as luminance (the red channel),
// clears the whole frame buffer to (0, 0, 0.3, 0.5) and its depth, and sets the
// 800x600 viewport again. The dark-blue clear colour stays in force. Leaves
// `texture` bound. Called by Scene A before it draws anything else.
void capture_to_texture(std::uint32_t list, std::uint32_t texture);

// Pushes the projection matrix, loads glOrtho of the six values, and leaves
// GL_MODELVIEW current with the identity (the modelview is not saved). Called
// by draw_zoom_blur, which pops the projection again.
void push_ortho_view(float left, float right, float bottom, float top, float near_plane,
                     float far_plane);

// Adds `count` full-screen layers of `texture` (blend SRC_ALPHA, ONE), layer i
// sampling the centred window [i*step, 1 - i*step] with alpha
// start_alpha * (count - i) / count. Draws nothing for a count of 0 or less.
// Restores the perspective projection; leaves the modelview at the identity,
// depth test on, texturing, blending, fog and lighting off. Called last by
// Scene A.
void draw_zoom_blur(std::int32_t count, float step, float start_alpha, std::uint32_t texture);
