// layer_state.h -- the GL 1.1 state the layer keeps because ES 3.0 has no place for it
#pragma once

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "gl11/matrix.h"

// One vertex as the shader takes it. Colours stay in float, unclamped, up to
// the shader: the demo passes tints outside [0, 1] and fades finer than 1/255.
struct Vertex {
    float position[4];
    float colour[4];
    float texcoord[2];
};

// Which attributes a drawing carries per vertex; those it does not carry take
// the current value when it is drawn (a display list that never set a colour
// is drawn in the colour current at glCallList).
enum VertexAttributeBit : unsigned { vertex_colour_bit = 1u, vertex_texcoord_bit = 2u, vertex_normal_bit = 4u };

// A drawing held in the GPU's buffers: index ranges into one vertex buffer
// and one 32-bit index buffer. Polygons keep both their triangles and their
// edges, so the polygon mode in force when they are drawn picks one.
struct DrawRange {
    GLenum es_mode;          // GL_TRIANGLES for polygons, else GL_POINTS or GL_LINES
    bool polygon;            // glPolygonMode applies
    GLsizei vertex_first;    // the vertices, for point mode
    GLsizei vertex_count;
    std::size_t fill_offset; // bytes into the index buffer
    GLsizei fill_count;
    std::size_t edge_offset;
    GLsizei edge_count;
    unsigned per_vertex;     // VertexAttributeBit: what each vertex holds
};

struct DisplayList {
    GLuint vertex_buffer = 0;
    GLuint index_buffer = 0;
    std::vector<DrawRange> ranges;
    // The current values the list leaves behind, for the attributes it set.
    unsigned sets = 0;
    float colour[4] = {};
    float texcoord[2] = {};
    float normal[3] = {};
};

// What a texture object needs for the GL 1.1 rule that an incomplete texture
// turns texturing off (ES would sample it as opaque black instead).
struct TextureRecord {
    GLsizei width = 0;          // level 0
    GLsizei height = 0;
    std::uint32_t levels = 0;   // bit i: level i has an image
    GLenum min_filter = GL_NEAREST_MIPMAP_LINEAR;
};

struct ClientArray {
    bool enabled = false;
    GLint size = 4;
    GLenum type = GL_FLOAT;
    GLsizei stride = 0;
    const void* pointer = nullptr;
};

constexpr int matrix_stack_depth = 32;

struct MatrixStack {
    std::array<Mat4, matrix_stack_depth> entries;
    int top = 0;
};

// Capabilities the layer keeps as state only (see state_calls.cpp).
struct EnabledCapabilities {
    bool texture_2d = false;
    bool fog = false;
    bool lighting = false;
    bool light0 = false;
    bool texture_gen_s = false;
    bool texture_gen_t = false;
};

struct Gl11State {
    bool started = false;

    // Matrices: modelview, projection, texture.
    std::array<MatrixStack, 3> stacks;
    int matrix_mode = 0;

    // Current vertex attributes.
    float colour[4] = {1, 1, 1, 1};
    float texcoord[2] = {0, 0};
    float normal[3] = {0, 0, 1};

    // Between glBegin and glEnd.
    bool inside_begin = false;
    GLenum begin_mode = 0;
    std::vector<Vertex> begun;

    // Between glNewList and glEndList.
    bool compiling = false;
    bool execute_while_compiling = false;
    GLuint compiling_name = 0;
    std::vector<Vertex> list_vertices;
    std::vector<GLuint> list_indices;
    DisplayList list_building;

    GLuint next_list_name = 1;
    std::unordered_map<GLuint, DisplayList> lists;

    ClientArray vertex_array;
    ClientArray texcoord_array;

    EnabledCapabilities enabled;
    // What decides whether a draw can write anything (draw.cpp); ES keeps them
    // too, but asking it would wait for the GPU.
    bool blend = false;
    bool depth_test = false;
    bool stencil_test = false;
    GLenum blend_source = GL_ONE;
    GLenum blend_destination = GL_ZERO;
    GLenum polygon_mode_front = GL_FILL;
    GLenum polygon_mode_back = GL_FILL;
    GLenum shade_model = GL_SMOOTH;
    GLenum texture_env_mode = GL_MODULATE;
    GLenum perspective_hint = GL_DONT_CARE;
    GLint fog_mode = GL_EXP;
    float fog_start = 0.0f;
    float fog_end = 1.0f;
    std::array<std::array<float, 4>, 3> light0{};   // ambient, diffuse, position
    std::array<std::array<float, 4>, 2> material{};  // front ambient, front diffuse

    GLuint bound_texture = 0;
    std::unordered_map<GLuint, TextureRecord> textures;

    // The shader pair and what it reads.
    GLuint program = 0;
    GLint mvp_location = -1;
    GLint texturing_location = -1;
    GLuint stream_vertices = 0;
    GLuint stream_indices = 0;
};

extern Gl11State gl11;

// The top of the current matrix stack.
Mat4& current_matrix();
