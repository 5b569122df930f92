// client_arrays.cpp -- vertex and texture coordinate arrays and glDrawElements over them
#include <GL/gl.h>

#include <cstddef>
#include <cstdint>

#include "gl11/immediate.h"
#include "gl11/layer_state.h"

static ClientArray* client_array(GLenum array)
{
    switch (array) {
    case GL_VERTEX_ARRAY:
        return &gl11.vertex_array;
    case GL_TEXTURE_COORD_ARRAY:
        return &gl11.texcoord_array;
    default:
        return nullptr;
    }
}

void glEnableClientState(GLenum array)
{
    if (ClientArray* a = client_array(array)) {
        a->enabled = true;
    }
}

void glDisableClientState(GLenum array)
{
    if (ClientArray* a = client_array(array)) {
        a->enabled = false;
    }
}

static void set_pointer(ClientArray& a, GLint size, GLenum type, GLsizei stride,
                        const GLvoid* pointer)
{
    if (stride < 0) {
        return;
    }
    a.size = size;
    a.type = type;
    a.stride = stride;
    a.pointer = pointer;
}

void glVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer)
{
    if (size >= 2 && size <= 4) {
        set_pointer(gl11.vertex_array, size, type, stride, pointer);
    }
}

void glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer)
{
    if (size >= 1 && size <= 4) {
        set_pointer(gl11.texcoord_array, size, type, stride, pointer);
    }
}

// Element i of a float array, its missing components filled as the GL fills
// them (z 0, w 1).
static void fetch(const ClientArray& a, std::uint32_t i, float out[4])
{
    const std::size_t stride = a.stride != 0 ? static_cast<std::size_t>(a.stride)
                                             : static_cast<std::size_t>(a.size) * sizeof(float);
    const auto* element = reinterpret_cast<const float*>(static_cast<const std::uint8_t*>(a.pointer) +
                                                         stride * i);
    out[0] = element[0];
    out[1] = a.size > 1 ? element[1] : 0.0f;
    out[2] = a.size > 2 ? element[2] : 0.0f;
    out[3] = a.size > 3 ? element[3] : 1.0f;
}

static std::uint32_t index_at(GLenum type, const GLvoid* indices, GLsizei i)
{
    const auto n = static_cast<std::size_t>(i);
    switch (type) {
    case GL_UNSIGNED_BYTE:
        return static_cast<const std::uint8_t*>(indices)[n];
    case GL_UNSIGNED_SHORT:
        return static_cast<const std::uint16_t*>(indices)[n];
    default:
        return static_cast<const std::uint32_t*>(indices)[n];
    }
}

// The referenced vertices are copied out of the arrays, as one glTexCoord and
// glVertex each: into the list being compiled, or drawn now. Only float arrays
// are read; with any other component type nothing is drawn.
void glDrawElements(GLenum mode, GLsizei count, GLenum type, const GLvoid* indices)
{
    const ClientArray& positions = gl11.vertex_array;
    const ClientArray& texcoords = gl11.texcoord_array;
    const bool index_type_known =
        type == GL_UNSIGNED_BYTE || type == GL_UNSIGNED_SHORT || type == GL_UNSIGNED_INT;
    if (gl11.inside_begin || count <= 0 || indices == nullptr || !index_type_known ||
        !positions.enabled || positions.pointer == nullptr || positions.type != GL_FLOAT) {
        return;
    }
    const bool with_texcoords =
        texcoords.enabled && texcoords.pointer != nullptr && texcoords.type == GL_FLOAT;
    if (texcoords.enabled && !with_texcoords) {
        return;
    }
    begin_primitive(mode);
    for (GLsizei i = 0; i < count; ++i) {
        const std::uint32_t element = index_at(type, indices, i);
        float value[4];
        if (with_texcoords) {
            fetch(texcoords, element, value);
            set_texcoord(value[0], value[1]);
        }
        fetch(positions, element, value);
        emit_vertex(value[0], value[1], value[2], value[3]);
    }
    end_primitive();
}
