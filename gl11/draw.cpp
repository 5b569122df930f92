// draw.cpp -- draws buffered primitives: matrices and texture switch to the shader, attributes, polygon mode
#include "gl11/draw.h"

#include <algorithm>
#include <cstddef>

#include "gl11/es_functions.h"
#include "gl11/primitives.h"
#include "gl11/program.h"
#include "gl11/texture_state.h"

DrawRange append_primitive(GLenum mode, const std::vector<Vertex>& primitive, unsigned per_vertex,
                           std::vector<Vertex>& vertices, std::vector<GLuint>& indices)
{
    const auto base = static_cast<GLuint>(vertices.size());
    static PrimitiveIndices p;
    primitive_indices(mode, static_cast<std::uint32_t>(primitive.size()), p);

    DrawRange range{};
    range.es_mode = p.es_mode;
    range.polygon = p.polygon;
    range.vertex_first = static_cast<GLsizei>(base);
    range.vertex_count = static_cast<GLsizei>(primitive.size());
    range.per_vertex = per_vertex;
    range.fill_offset = indices.size() * sizeof(GLuint);
    range.fill_count = static_cast<GLsizei>(p.fill.size());
    for (std::uint32_t i : p.fill) {
        indices.push_back(base + i);
    }
    range.edge_offset = indices.size() * sizeof(GLuint);
    range.edge_count = static_cast<GLsizei>(p.edges.size());
    for (std::uint32_t i : p.edges) {
        indices.push_back(base + i);
    }
    vertices.insert(vertices.end(), primitive.begin(), primitive.end());
    return range;
}

// A vertex attribute either read per vertex from the buffer or, when the
// drawing does not carry it, held at the current value.
static void set_attribute(GLuint location, bool carried, GLint size, std::size_t offset,
                          const float* current)
{
    if (carried) {
        es.EnableVertexAttribArray(location);
        es.VertexAttribPointer(location, size, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                               reinterpret_cast<const void*>(offset));
    } else {
        es.DisableVertexAttribArray(location);
        es.VertexAttrib4f(location, current[0], current[1], size > 2 ? current[2] : 0.0f,
                          size > 3 ? current[3] : 1.0f);
    }
}

// Polygons take the front face's mode. The two differ only when a program sets
// them apart, which needs each face's facing on the CPU; the demo always sets
// both together. For the same reason face culling, which ES applies to
// triangles only, does not remove faces drawn as lines or points; the demo
// draws its wireframe with culling off.
static GLenum polygon_mode()
{
    return gl11.polygon_mode_front;
}

void draw_range(const DrawRange& range, GLuint vertex_buffer, GLuint index_buffer)
{
    if (!gl11.started || range.vertex_count == 0) {
        return;
    }
    const Mat4 mvp = mat4_multiply(gl11.stacks[1].entries[gl11.stacks[1].top],
                                   gl11.stacks[0].entries[gl11.stacks[0].top]);
    es.UniformMatrix4fv(gl11.mvp_location, 1, GL_FALSE, mvp.data());
    es.Uniform1i(gl11.texturing_location, texturing_in_effect() ? 1 : 0);

    es.BindBuffer(es_array_buffer, vertex_buffer);
    es.BindBuffer(es_element_array_buffer, index_buffer);
    set_attribute(attribute_position, true, 4, offsetof(Vertex, position), nullptr);
    set_attribute(attribute_colour, (range.per_vertex & vertex_colour_bit) != 0, 4,
                  offsetof(Vertex, colour), gl11.colour);
    set_attribute(attribute_texcoord, (range.per_vertex & vertex_texcoord_bit) != 0, 2,
                  offsetof(Vertex, texcoord), gl11.texcoord);

    const GLenum mode = range.polygon ? polygon_mode() : GL_FILL;
    if (mode == GL_POINT) {
        es.DrawArrays(GL_POINTS, range.vertex_first, range.vertex_count);
    } else if (mode == GL_LINE) {
        es.DrawElements(GL_LINES, range.edge_count, GL_UNSIGNED_INT,
                        reinterpret_cast<const void*>(range.edge_offset));
    } else {
        es.DrawElements(range.es_mode, range.fill_count, GL_UNSIGNED_INT,
                        reinterpret_cast<const void*>(range.fill_offset));
    }
}

// True when drawing the primitive can change no colour, depth or stencil
// value: every vertex's alpha at or below 0, which the shader clamps to 0, so
// under source-alpha blending the source adds nothing and the destination
// stays whole (texturing multiplies that 0); with the depth and stencil tests
// off neither buffer is written. The fade quad in most frames of Scene A is
// such a draw, and a software renderer would still shade all of its pixels.
static bool changes_nothing(const std::vector<Vertex>& primitive)
{
    const bool source_alpha = gl11.blend_source == GL_SRC_ALPHA &&
                              (gl11.blend_destination == GL_ONE_MINUS_SRC_ALPHA ||
                               gl11.blend_destination == GL_ONE);
    if (!gl11.blend || !source_alpha || gl11.depth_test || gl11.stencil_test) {
        return false;
    }
    return std::all_of(primitive.begin(), primitive.end(),
                       [](const Vertex& v) { return v.colour[3] <= 0.0f; });
}

void draw_now(GLenum mode, const std::vector<Vertex>& primitive, unsigned per_vertex)
{
    if (!gl11.started || changes_nothing(primitive)) {
        return;
    }
    // Kept between calls so a frame's quads reuse their capacity.
    static std::vector<Vertex> vertices;
    static std::vector<GLuint> indices;
    vertices.clear();
    indices.clear();
    const DrawRange range = append_primitive(mode, primitive, per_vertex, vertices, indices);

    // A fresh store each time: the driver need not wait for the last draw.
    es.BindBuffer(es_array_buffer, gl11.stream_vertices);
    es.BufferData(es_array_buffer, static_cast<std::ptrdiff_t>(vertices.size() * sizeof(Vertex)),
                  vertices.data(), es_stream_draw);
    es.BindBuffer(es_element_array_buffer, gl11.stream_indices);
    es.BufferData(es_element_array_buffer,
                  static_cast<std::ptrdiff_t>(indices.size() * sizeof(GLuint)), indices.data(),
                  es_stream_draw);
    draw_range(range, gl11.stream_vertices, gl11.stream_indices);
}
