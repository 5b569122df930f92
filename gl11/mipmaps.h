// mipmaps.h -- the box filter that makes each mipmap level from the one above
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <vector>

// The image half the size of `image` (width x height, `components` bytes a
// pixel, rows 4-byte aligned) in each dimension larger than 1: each texel the
// mean of the 2 x 2 (or, along a dimension of 1, the 2) texels it covers,
// rounded to nearest. Rows of the result are 4-byte aligned.
std::vector<std::uint8_t> halve_image(const std::vector<std::uint8_t>& image, GLsizei width,
                                      GLsizei height, int components);

// The largest power of two not above `size`, or the next one up when that is
// nearer (3 -> 4, 5 -> 4, 6 -> 8): the size an image is scaled to before its
// mipmaps are built.
GLsizei nearest_power_of_two(GLsizei size);
