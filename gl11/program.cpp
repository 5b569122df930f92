// program.cpp -- compiles the GLSL ES 3.00 pair that stands in for the fixed pipeline
#include "gl11/program.h"

#include <cstdio>

#include "gl11/es_functions.h"
#include "gl11/layer_state.h"

// The fixed pipeline with lighting, fog and texture generation off: the vertex
// times the model-view-projection matrix (one matrix, multiplied on the CPU as
// the GL does); the colour clamped to [0, 1] per vertex before it is
// interpolated; the texture's colour multiplied in (GL_MODULATE). Where this
// differs from the desktop GL it is by design: its software rasteriser draws
// some textured draws with the colour cut to 8 bits, this keeps it in float,
// so channels under a fractional tint come out a level or so apart.
static const char* const vertex_source = R"(#version 300 es
uniform mat4 u_mvp;
layout(location = 0) in vec4 a_position;
layout(location = 1) in vec4 a_colour;
layout(location = 2) in vec2 a_texcoord;
out vec4 v_colour;
out vec2 v_texcoord;
void main()
{
    gl_Position = u_mvp * a_position;
    gl_PointSize = 1.0;
    v_colour = clamp(a_colour, 0.0, 1.0);
    v_texcoord = a_texcoord;
}
)";

static const char* const fragment_source = R"(#version 300 es
precision highp float;
uniform sampler2D u_texture;
uniform bool u_texturing;
in vec4 v_colour;
in vec2 v_texcoord;
out vec4 o_colour;
void main()
{
    o_colour = u_texturing ? v_colour * texture(u_texture, v_texcoord) : v_colour;
}
)";

static GLuint compile(GLenum kind, const char* source)
{
    const GLuint shader = es.CreateShader(kind);
    es.ShaderSource(shader, 1, &source, nullptr);
    es.CompileShader(shader);
    GLint ok = GL_FALSE;
    es.GetShaderiv(shader, es_compile_status, &ok);
    if (ok != GL_TRUE) {
        char log[1024] = {};
        es.GetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "GL 1.1 layer: shader does not compile: %s\n", log);
        return 0;
    }
    return shader;
}

bool build_program()
{
    const GLuint vertex = compile(es_vertex_shader, vertex_source);
    const GLuint fragment = compile(es_fragment_shader, fragment_source);
    if (vertex == 0 || fragment == 0) {
        return false;
    }
    const GLuint program = es.CreateProgram();
    es.AttachShader(program, vertex);
    es.AttachShader(program, fragment);
    es.LinkProgram(program);
    GLint ok = GL_FALSE;
    es.GetProgramiv(program, es_link_status, &ok);
    if (ok != GL_TRUE) {
        char log[1024] = {};
        es.GetProgramInfoLog(program, sizeof log, nullptr, log);
        std::fprintf(stderr, "GL 1.1 layer: shaders do not link: %s\n", log);
        return false;
    }
    es.UseProgram(program);
    gl11.program = program;
    gl11.mvp_location = es.GetUniformLocation(program, "u_mvp");
    gl11.texturing_location = es.GetUniformLocation(program, "u_texturing");
    es.Uniform1i(es.GetUniformLocation(program, "u_texture"), 0);
    return true;
}
