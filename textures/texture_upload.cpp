// texture_upload.cpp -- GL textures from pixel buffers, chosen by format keyword
#include "textures/texture_upload.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "platform/platform.h"
#include "textures/format_keyword.h"

std::uint32_t texture_from_pixels(const std::uint8_t* pixels, const char* keyword,
                                  std::uint8_t mipmap, std::int32_t width, std::int32_t height)
{
    // Nothing to upload: say so before touching the GL, so no name is used up.
    if (!pixels) {
        platform_message_box("unable to load texture", ":textureLib");
        return 0;
    }

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);

    // Sampling fixed for every texture; only the minification depends on mipmaps.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    mipmap == 1 ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);

    // Unit state, not texture state: set again on every call.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    // An unknown keyword leaves the texture without an image, which the GL treats
    // as incomplete; the name is still the caller's.
    const auto format = static_cast<GLenum>(format_for_keyword(keyword));
    if (format != 0) {
        if (mipmap == 1) {
            gluBuild2DMipmaps(GL_TEXTURE_2D, static_cast<GLint>(format), width, height, format,
                              GL_UNSIGNED_BYTE, pixels);
        } else {
            glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width, height, 0, format,
                         GL_UNSIGNED_BYTE, pixels);
        }
    }
    return name;
}
