// pixel_convert.cpp -- repacks 8-bit images between RGB, RGBA, luminance and alpha layouts
#include "gl11/pixel_convert.h"

#include <array>

int format_components(GLenum format)
{
    switch (format) {
    case GL_RGB:
        return 3;
    case GL_RGBA:
        return 4;
    case GL_LUMINANCE:
    case GL_ALPHA:
        return 1;
    case GL_LUMINANCE_ALPHA:
        return 2;
    default:
        return 0;
    }
}

std::size_t row_bytes(GLsizei width, int components)
{
    const auto bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(components);
    return (bytes + 3) / 4 * 4;
}

static std::array<std::uint8_t, 4> to_rgba(const std::uint8_t* p, GLenum format)
{
    switch (format) {
    case GL_RGB:
        return {p[0], p[1], p[2], 255};
    case GL_RGBA:
        return {p[0], p[1], p[2], p[3]};
    case GL_LUMINANCE:
        return {p[0], p[0], p[0], 255};
    case GL_LUMINANCE_ALPHA:
        return {p[0], p[0], p[0], p[1]};
    default:
        return {0, 0, 0, p[0]};
    }
}

static void from_rgba(const std::array<std::uint8_t, 4>& c, GLenum format, std::uint8_t* out)
{
    switch (format) {
    case GL_RGB:
        out[0] = c[0];
        out[1] = c[1];
        out[2] = c[2];
        break;
    case GL_RGBA:
        out[0] = c[0];
        out[1] = c[1];
        out[2] = c[2];
        out[3] = c[3];
        break;
    case GL_LUMINANCE:
        out[0] = c[0];
        break;
    case GL_LUMINANCE_ALPHA:
        out[0] = c[0];
        out[1] = c[3];
        break;
    default:
        out[0] = c[3];
        break;
    }
}

std::vector<std::uint8_t> convert_pixels(const void* pixels, GLsizei width, GLsizei height,
                                         GLenum from, GLenum to)
{
    const int in_size = format_components(from);
    const int out_size = format_components(to);
    const std::size_t in_row = row_bytes(width, in_size);
    const std::size_t out_row = row_bytes(width, out_size);
    std::vector<std::uint8_t> out(out_row * static_cast<std::size_t>(height));
    const auto* in = static_cast<const std::uint8_t*>(pixels);
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
            const auto c = to_rgba(in + y * in_row + x * static_cast<std::size_t>(in_size), from);
            from_rgba(c, to, out.data() + y * out_row + x * static_cast<std::size_t>(out_size));
        }
    }
    return out;
}
