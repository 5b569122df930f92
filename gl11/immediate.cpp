// immediate.cpp -- immediate mode: the current colour, normal and texture coordinate, glBegin to glEnd
#include "gl11/immediate.h"

#include <algorithm>

#include "gl11/draw.h"
#include "gl11/layer_state.h"

// While a list is compiled, attributes go into the list, not the current
// state (unless it is also executed): a vertex recorded before the list sets
// a colour is drawn in the colour current when the list is called.
static float* list_or_current(unsigned bit, float* current, float* in_list)
{
    if (!gl11.compiling) {
        return current;
    }
    return (gl11.list_building.sets & bit) != 0 ? in_list : current;
}

template <std::size_t N>
static void set_attribute(unsigned bit, float (&current)[N], float (&in_list)[N],
                          const float (&value)[N])
{
    if (gl11.compiling) {
        std::copy_n(value, N, in_list);
        gl11.list_building.sets |= bit;
        if (!gl11.execute_while_compiling) {
            return;
        }
    }
    std::copy_n(value, N, current);
}

void begin_primitive(GLenum mode)
{
    if (gl11.inside_begin) {
        return;
    }
    gl11.inside_begin = true;
    gl11.begin_mode = mode;
    gl11.begun.clear();
}

void set_texcoord(float s, float t)
{
    const float value[2] = {s, t};
    set_attribute(vertex_texcoord_bit, gl11.texcoord, gl11.list_building.texcoord, value);
}

void emit_vertex(float x, float y, float z, float w)
{
    if (!gl11.inside_begin) {
        return;
    }
    Vertex v{{x, y, z, w}, {}, {}};
    std::copy_n(list_or_current(vertex_colour_bit, gl11.colour, gl11.list_building.colour), 4,
                v.colour);
    std::copy_n(list_or_current(vertex_texcoord_bit, gl11.texcoord, gl11.list_building.texcoord), 2,
                v.texcoord);
    gl11.begun.push_back(v);
}

void end_primitive()
{
    if (!gl11.inside_begin) {
        return;
    }
    gl11.inside_begin = false;
    constexpr unsigned all = vertex_colour_bit | vertex_texcoord_bit;
    if (gl11.compiling) {
        const unsigned per_vertex = gl11.list_building.sets & all;
        gl11.list_building.ranges.push_back(append_primitive(
            gl11.begin_mode, gl11.begun, per_vertex, gl11.list_vertices, gl11.list_indices));
        if (!gl11.execute_while_compiling) {
            return;
        }
    }
    draw_now(gl11.begin_mode, gl11.begun, all);
}

void glBegin(GLenum mode)
{
    begin_primitive(mode);
}

void glEnd()
{
    end_primitive();
}

void glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha)
{
    const float value[4] = {red, green, blue, alpha};
    set_attribute(vertex_colour_bit, gl11.colour, gl11.list_building.colour, value);
}

void glNormal3fv(const GLfloat* v)
{
    const float value[3] = {v[0], v[1], v[2]};
    set_attribute(vertex_normal_bit, gl11.normal, gl11.list_building.normal, value);
}

void glTexCoord2f(GLfloat s, GLfloat t)
{
    set_texcoord(s, t);
}

void glTexCoord2fv(const GLfloat* v)
{
    set_texcoord(v[0], v[1]);
}

void glVertex2f(GLfloat x, GLfloat y)
{
    emit_vertex(x, y, 0.0f, 1.0f);
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    emit_vertex(x, y, z, 1.0f);
}

void glVertex3fv(const GLfloat* v)
{
    emit_vertex(v[0], v[1], v[2], 1.0f);
}
