// display_lists.cpp -- display lists recorded into GPU buffers and drawn back with the state of the moment
#include <GL/gl.h>

#include <algorithm>
#include <cstddef>
#include <limits>

#include "gl11/draw.h"
#include "gl11/es_functions.h"
#include "gl11/layer_state.h"

// What a list records is its drawing (glBegin to glEnd, glDrawElements) and
// the current colour, normal and texture coordinate it sets. Every other call
// made while a list is open acts at once and is not recorded; the demo's lists
// hold drawing only.
GLuint glGenLists(GLsizei range)
{
    if (range <= 0 ||
        gl11.next_list_name > std::numeric_limits<GLuint>::max() - static_cast<GLuint>(range)) {
        return 0;
    }
    const GLuint first = gl11.next_list_name;
    gl11.next_list_name += static_cast<GLuint>(range);
    return first;
}

void glNewList(GLuint list, GLenum mode)
{
    if (!gl11.started || list == 0 || gl11.compiling || gl11.inside_begin ||
        (mode != GL_COMPILE && mode != GL_COMPILE_AND_EXECUTE)) {
        return;
    }
    gl11.compiling = true;
    gl11.execute_while_compiling = mode == GL_COMPILE_AND_EXECUTE;
    gl11.compiling_name = list;
    gl11.list_vertices.clear();
    gl11.list_indices.clear();
    gl11.list_building = DisplayList{};
}

void glEndList()
{
    if (!gl11.compiling || gl11.inside_begin) {
        return;
    }
    gl11.compiling = false;
    DisplayList& list = gl11.lists[gl11.compiling_name];
    // A list compiled again under its name reuses its buffers.
    const GLuint vertex_buffer = list.vertex_buffer;
    const GLuint index_buffer = list.index_buffer;
    list = std::move(gl11.list_building);
    list.vertex_buffer = vertex_buffer;
    list.index_buffer = index_buffer;
    if (list.vertex_buffer == 0) {
        es.GenBuffers(1, &list.vertex_buffer);
        es.GenBuffers(1, &list.index_buffer);
    }
    es.BindBuffer(es_array_buffer, list.vertex_buffer);
    es.BufferData(es_array_buffer,
                  static_cast<std::ptrdiff_t>(gl11.list_vertices.size() * sizeof(Vertex)),
                  gl11.list_vertices.data(), es_static_draw);
    es.BindBuffer(es_element_array_buffer, list.index_buffer);
    es.BufferData(es_element_array_buffer,
                  static_cast<std::ptrdiff_t>(gl11.list_indices.size() * sizeof(GLuint)),
                  gl11.list_indices.data(), es_static_draw);
    gl11.list_building = DisplayList{};
    gl11.list_vertices = {};
    gl11.list_indices = {};
}

// A name with no list draws nothing. Called while another list is compiled,
// the list is drawn at once rather than recorded.
void glCallList(GLuint list)
{
    if (gl11.inside_begin) {
        return;
    }
    const auto found = gl11.lists.find(list);
    if (found == gl11.lists.end()) {
        return;
    }
    const DisplayList& called = found->second;
    for (const DrawRange& range : called.ranges) {
        draw_range(range, called.vertex_buffer, called.index_buffer);
    }
    if ((called.sets & vertex_colour_bit) != 0) {
        std::copy_n(called.colour, 4, gl11.colour);
    }
    if ((called.sets & vertex_texcoord_bit) != 0) {
        std::copy_n(called.texcoord, 2, gl11.texcoord);
    }
    if ((called.sets & vertex_normal_bit) != 0) {
        std::copy_n(called.normal, 3, gl11.normal);
    }
}
