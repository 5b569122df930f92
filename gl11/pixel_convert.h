// pixel_convert.h -- repacks 8-bit images between the GL 1.1 pixel formats
#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// Bytes per pixel of GL_RGB, GL_RGBA, GL_LUMINANCE, GL_LUMINANCE_ALPHA or
// GL_ALPHA; 0 for any other format.
int format_components(GLenum format);

// Bytes of one row of `width` pixels, padded to the GL's default 4-byte row alignment.
std::size_t row_bytes(GLsizei width, int components);

// The width x height image `pixels` (in `from`, rows 4-byte aligned) in the
// layout of `to`, rows 4-byte aligned, as GL 1.1 converts on upload: RGB from
// luminance repeats it, luminance from RGB takes red, a missing alpha is 255.
std::vector<std::uint8_t> convert_pixels(const void* pixels, GLsizei width, GLsizei height,
                                         GLenum from, GLenum to);
