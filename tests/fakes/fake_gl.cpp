// fake_gl.cpp -- the GL entry points the geometry code uses, recording instead of drawing
#include "tests/fakes/fake_gl.h"

#include <utility>

// These definitions take the place of the GL library's: a test linking them links
// no GL at all, so a call missing here fails to link rather than going unseen.

std::vector<FakeGlCall> fake_gl_calls;

namespace {

GLuint next_list_name = 0;

void record(const char* name, std::vector<long long> ints, std::vector<float> floats = {},
            const void* data = nullptr)
{
    fake_gl_calls.push_back(FakeGlCall{name, std::move(ints), std::move(floats), data});
}

} // namespace

void fake_gl_reset(GLuint next_list)
{
    fake_gl_calls.clear();
    next_list_name = next_list;
}

std::vector<std::string> fake_gl_call_names()
{
    std::vector<std::string> names;
    for (const FakeGlCall& call : fake_gl_calls) {
        names.push_back(call.name);
    }
    return names;
}

GLuint APIENTRY glGenLists(GLsizei range)
{
    record("glGenLists", {range});
    const GLuint name = next_list_name;
    if (name != 0) {
        next_list_name += static_cast<GLuint>(range);
    }
    return name;
}

void APIENTRY glNewList(GLuint list, GLenum mode)
{
    record("glNewList", {list, mode});
}

void APIENTRY glEndList()
{
    record("glEndList", {});
}

void APIENTRY glEnableClientState(GLenum cap)
{
    record("glEnableClientState", {cap});
}

void APIENTRY glDisableClientState(GLenum cap)
{
    record("glDisableClientState", {cap});
}

void APIENTRY glVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* ptr)
{
    record("glVertexPointer", {size, type, stride}, {}, ptr);
}

void APIENTRY glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* ptr)
{
    record("glTexCoordPointer", {size, type, stride}, {}, ptr);
}

void APIENTRY glDrawElements(GLenum mode, GLsizei count, GLenum type, const GLvoid* indices)
{
    record("glDrawElements", {mode, count, type}, {}, indices);
}

void APIENTRY glBegin(GLenum mode)
{
    record("glBegin", {mode});
}

void APIENTRY glEnd()
{
    record("glEnd", {});
}

void APIENTRY glTexCoord2fv(const GLfloat* v)
{
    record("glTexCoord2fv", {}, {v[0], v[1]}, v);
}

void APIENTRY glNormal3fv(const GLfloat* v)
{
    record("glNormal3fv", {}, {v[0], v[1], v[2]}, v);
}

void APIENTRY glVertex3fv(const GLfloat* v)
{
    record("glVertex3fv", {}, {v[0], v[1], v[2]}, v);
}
