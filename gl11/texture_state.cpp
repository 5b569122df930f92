// texture_state.cpp -- texture completeness and internal formats, as GL 1.1 sees them
#include "gl11/texture_state.h"

#include <algorithm>

TextureRecord& texture_record(GLuint name)
{
    return gl11.textures[name];
}

bool texture_complete(const TextureRecord& record)
{
    if (record.width <= 0 || record.height <= 0 || (record.levels & 1u) == 0) {
        return false;
    }
    if (record.min_filter == GL_NEAREST || record.min_filter == GL_LINEAR) {
        return true;
    }
    GLsizei size = std::max(record.width, record.height);
    for (std::uint32_t level = 0; level < 32; ++level) {
        if ((record.levels & (1u << level)) == 0) {
            return false;
        }
        if (size == 1) {
            return true;
        }
        size /= 2;
    }
    return false;
}

bool texturing_in_effect()
{
    return gl11.enabled.texture_2d && texture_complete(texture_record(gl11.bound_texture));
}

void record_level(GLint level, GLsizei width, GLsizei height)
{
    if (level < 0 || level >= 32) {
        return;
    }
    TextureRecord& record = texture_record(gl11.bound_texture);
    if (level == 0) {
        record.width = width;
        record.height = height;
    }
    if (width > 0 && height > 0) {
        record.levels |= 1u << level;
    } else {
        record.levels &= ~(1u << level);
    }
}

GLenum base_format(GLint internal_format)
{
    switch (internal_format) {
    case 1:
    case GL_LUMINANCE:
    case GL_LUMINANCE8:
        return GL_LUMINANCE;
    case 2:
    case GL_LUMINANCE_ALPHA:
    case GL_LUMINANCE8_ALPHA8:
        return GL_LUMINANCE_ALPHA;
    case 3:
    case GL_RGB:
    case GL_RGB8:
        return GL_RGB;
    case 4:
    case GL_RGBA:
    case GL_RGBA8:
        return GL_RGBA;
    case GL_ALPHA:
    case GL_ALPHA8:
        return GL_ALPHA;
    default:
        return 0;
    }
}
