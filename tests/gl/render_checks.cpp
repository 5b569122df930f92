// render_checks.cpp -- reading the picture and GL state back for the rendering tests
#include "tests/gl/render_checks.h"

#include <cstddef>

Picture read_picture()
{
    Picture picture;
    picture.rgba.resize(800u * 600u * 4u);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, picture.rgba.data());
    return picture;
}

std::array<std::uint8_t, 4> Picture::at(int x, int y) const
{
    std::size_t i = (static_cast<std::size_t>(y) * 800u + static_cast<std::size_t>(x)) * 4u;
    return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
}

GLint gl_integer(GLenum which)
{
    GLint value = 0;
    glGetIntegerv(which, &value);
    return value;
}

bool gl_enabled(GLenum which)
{
    return glIsEnabled(which) == GL_TRUE;
}

std::array<GLfloat, 4> gl_float4(GLenum which)
{
    std::array<GLfloat, 4> v{};
    glGetFloatv(which, v.data());
    return v;
}

std::array<GLfloat, 16> gl_matrix(GLenum which)
{
    std::array<GLfloat, 16> m{};
    glGetFloatv(which, m.data());
    return m;
}

void enter_frame()
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

GLuint compile_triangles(const std::vector<float>& vertices)
{
    GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    for (std::size_t i = 0; i + 2 < vertices.size(); i += 3) {
        glVertex3f(vertices[i], vertices[i + 1], vertices[i + 2]);
    }
    glEnd();
    glEndList();
    return list;
}

GLuint compile_square(float h)
{
    return compile_triangles({-h, -h, 0, h, -h, 0, h, h, 0,  //
                              -h, -h, 0, h, h, 0, -h, h, 0});
}
