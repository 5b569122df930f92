// mipmaps.cpp -- gluBuild2DMipmaps: a power-of-two base image and box-filtered levels down to 1 x 1
#include "gl11/mipmaps.h"

#include <GL/glu.h>

#include <algorithm>
#include <cstddef>

#include "gl11/pixel_convert.h"

std::vector<std::uint8_t> halve_image(const std::vector<std::uint8_t>& image, GLsizei width,
                                      GLsizei height, int components)
{
    const GLsizei half_w = std::max(width / 2, 1);
    const GLsizei half_h = std::max(height / 2, 1);
    const std::size_t in_row = row_bytes(width, components);
    const std::size_t out_row = row_bytes(half_w, components);
    const auto pixel = static_cast<std::size_t>(components);
    // Along a dimension of 1 the same texel is read twice, which makes the
    // 2 x 2 mean the mean of two, rounded the same way.
    const std::size_t dx = width > 1 ? pixel : 0;
    const std::size_t dy = height > 1 ? in_row : 0;

    std::vector<std::uint8_t> out(out_row * static_cast<std::size_t>(half_h));
    for (std::size_t y = 0; y < static_cast<std::size_t>(half_h); ++y) {
        const std::size_t source_y = y * (height > 1 ? 2 : 1);
        for (std::size_t x = 0; x < static_cast<std::size_t>(half_w); ++x) {
            const std::size_t source_x = x * (width > 1 ? 2 : 1);
            const std::uint8_t* t = image.data() + source_y * in_row + source_x * pixel;
            for (std::size_t c = 0; c < pixel; ++c) {
                const unsigned sum = t[c] + t[c + dx] + t[c + dy] + t[c + dx + dy];
                out[y * out_row + x * pixel + c] = static_cast<std::uint8_t>((sum + 2) / 4);
            }
        }
    }
    return out;
}

GLsizei nearest_power_of_two(GLsizei size)
{
    GLsizei below = 1;
    while (below * 2 <= size && below < (1 << 29)) {
        below *= 2;
    }
    return size - below < below * 2 - size ? below : below * 2;
}

// Nearest-texel resampling to the power-of-two size; the demo's images are
// powers of two already and never take this path.
static std::vector<std::uint8_t> scale_image(const std::uint8_t* image, GLsizei width,
                                             GLsizei height, GLsizei to_w, GLsizei to_h,
                                             int components)
{
    const std::size_t in_row = row_bytes(width, components);
    const std::size_t out_row = row_bytes(to_w, components);
    const auto pixel = static_cast<std::size_t>(components);
    std::vector<std::uint8_t> out(out_row * static_cast<std::size_t>(to_h));
    for (GLsizei y = 0; y < to_h; ++y) {
        const auto source_y = static_cast<std::size_t>((2 * y + 1) * height / (2 * to_h));
        for (GLsizei x = 0; x < to_w; ++x) {
            const auto source_x = static_cast<std::size_t>((2 * x + 1) * width / (2 * to_w));
            std::copy_n(image + source_y * in_row + source_x * pixel, pixel,
                        out.data() + static_cast<std::size_t>(y) * out_row +
                            static_cast<std::size_t>(x) * pixel);
        }
    }
    return out;
}

GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height,
                        GLenum format, GLenum type, const void* data)
{
    const int components = format_components(format);
    if (width < 1 || height < 1) {
        return GLU_INVALID_VALUE;
    }
    if (components == 0 || type != GL_UNSIGNED_BYTE || data == nullptr) {
        return GLU_INVALID_ENUM;
    }
    GLsizei w = nearest_power_of_two(width);
    GLsizei h = nearest_power_of_two(height);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::vector<std::uint8_t> level_image =
        (w == width && h == height)
            ? std::vector<std::uint8_t>(bytes, bytes + row_bytes(width, components) *
                                                           static_cast<std::size_t>(height))
            : scale_image(bytes, width, height, w, h, components);

    for (GLint level = 0;; ++level) {
        glTexImage2D(target, level, internalFormat, w, h, 0, format, GL_UNSIGNED_BYTE,
                     level_image.data());
        if (w == 1 && h == 1) {
            return 0;
        }
        level_image = halve_image(level_image, w, h, components);
        w = std::max(w / 2, 1);
        h = std::max(h / 2, 1);
    }
}
