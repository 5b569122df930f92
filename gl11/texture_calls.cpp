// texture_calls.cpp -- texture objects, images, copies, parameters and the texture environment
#include <GL/gl.h>

#include <vector>

#include "gl11/es_functions.h"
#include "gl11/layer_state.h"
#include "gl11/pixel_convert.h"
#include "gl11/texture_state.h"

// GL 1.1's clamp, which samples the border; without borders it is clamp to edge.
static constexpr GLint gl_clamp = 0x2900;

void glGenTextures(GLsizei n, GLuint* textures)
{
    if (!gl11.started || n < 0 || textures == nullptr) {
        return;
    }
    es.GenTextures(n, textures);
}

void glBindTexture(GLenum target, GLuint texture)
{
    if (!gl11.started || target != GL_TEXTURE_2D) {
        return;
    }
    es.BindTexture(target, texture);
    gl11.bound_texture = texture;
    texture_record(texture);
}

void glTexParameteri(GLenum target, GLenum pname, GLint param)
{
    if (!gl11.started || target != GL_TEXTURE_2D) {
        return;
    }
    if ((pname == GL_TEXTURE_WRAP_S || pname == GL_TEXTURE_WRAP_T) && param == gl_clamp) {
        param = static_cast<GLint>(es_clamp_to_edge);
    }
    if (pname == GL_TEXTURE_MIN_FILTER) {
        texture_record(gl11.bound_texture).min_filter = static_cast<GLenum>(param);
    }
    es.TexParameteri(target, pname, param);
}

// ES takes an unsized internal format only with the same pixel format, so an
// image given in another layout (internal format 4 from GL_RGB pixels) is
// repacked first. Borders, and component types other than bytes, are not
// taken: the image stays undefined, as after a GL error.
void glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const GLvoid* pixels)
{
    const GLenum base = base_format(internalformat);
    if (!gl11.started || target != GL_TEXTURE_2D || base == 0 || format_components(format) == 0 ||
        type != GL_UNSIGNED_BYTE || border != 0 || width < 0 || height < 0 || level < 0) {
        return;
    }
    std::vector<std::uint8_t> repacked;
    if (pixels != nullptr && format != base) {
        repacked = convert_pixels(pixels, width, height, format, base);
        pixels = repacked.data();
    }
    es.TexImage2D(target, level, static_cast<GLint>(base), width, height, 0, base,
                  GL_UNSIGNED_BYTE, pixels);
    record_level(level, width, height);
}

void glCopyTexImage2D(GLenum target, GLint level, GLenum internalformat, GLint x, GLint y,
                      GLsizei width, GLsizei height, GLint border)
{
    const GLenum base = base_format(static_cast<GLint>(internalformat));
    if (!gl11.started || target != GL_TEXTURE_2D || base == 0 || border != 0 || width < 0 ||
        height < 0 || level < 0) {
        return;
    }
    es.CopyTexImage2D(target, level, base, x, y, width, height, 0);
    record_level(level, width, height);
}

// Only GL_MODULATE is drawn, the one mode the demo sets; the shader has no
// other. The mode is kept so a later mode is at least visible to a debugger.
void glTexEnvi(GLenum target, GLenum pname, GLint param)
{
    if (target == GL_TEXTURE_ENV && pname == GL_TEXTURE_ENV_MODE) {
        gl11.texture_env_mode = static_cast<GLenum>(param);
    }
}
