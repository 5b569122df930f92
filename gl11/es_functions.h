// es_functions.h -- the real OpenGL ES 3.0 entry points the layer draws with
#pragma once

#include <GL/gl.h>

#include <cstddef>

// The layer defines glEnable and the rest itself, so the context's functions
// are reached through this table, filled by name at start-up, and never by
// linking the ES library: one name, one meaning in every binary.
struct EsFunctions {
    void (*ActiveTexture)(GLenum);
    void (*AttachShader)(GLuint, GLuint);
    void (*BindAttribLocation)(GLuint, GLuint, const char*);
    void (*BindBuffer)(GLenum, GLuint);
    void (*BindTexture)(GLenum, GLuint);
    void (*BlendFunc)(GLenum, GLenum);
    void (*BufferData)(GLenum, std::ptrdiff_t, const void*, GLenum);
    void (*Clear)(GLbitfield);
    void (*ClearColor)(GLfloat, GLfloat, GLfloat, GLfloat);
    void (*CompileShader)(GLuint);
    void (*CopyTexImage2D)(GLenum, GLint, GLenum, GLint, GLint, GLsizei, GLsizei, GLint);
    GLuint (*CreateProgram)();
    GLuint (*CreateShader)(GLenum);
    void (*Disable)(GLenum);
    void (*DisableVertexAttribArray)(GLuint);
    void (*DrawArrays)(GLenum, GLint, GLsizei);
    void (*DrawElements)(GLenum, GLsizei, GLenum, const void*);
    void (*Enable)(GLenum);
    void (*EnableVertexAttribArray)(GLuint);
    void (*GenBuffers)(GLsizei, GLuint*);
    void (*GenerateMipmap)(GLenum);
    void (*GenTextures)(GLsizei, GLuint*);
    void (*GetProgramInfoLog)(GLuint, GLsizei, GLsizei*, char*);
    void (*GetProgramiv)(GLuint, GLenum, GLint*);
    void (*GetShaderInfoLog)(GLuint, GLsizei, GLsizei*, char*);
    void (*GetShaderiv)(GLuint, GLenum, GLint*);
    GLint (*GetUniformLocation)(GLuint, const char*);
    void (*LinkProgram)(GLuint);
    void (*ReadPixels)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*);
    void (*ShaderSource)(GLuint, GLsizei, const char* const*, const GLint*);
    void (*TexImage2D)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*);
    void (*TexParameteri)(GLenum, GLenum, GLint);
    void (*Uniform1i)(GLint, GLint);
    void (*UniformMatrix4fv)(GLint, GLsizei, GLboolean, const GLfloat*);
    void (*UseProgram)(GLuint);
    void (*VertexAttrib4f)(GLuint, GLfloat, GLfloat, GLfloat, GLfloat);
    void (*VertexAttribPointer)(GLuint, GLint, GLenum, GLboolean, GLsizei, const void*);
    void (*Viewport)(GLint, GLint, GLsizei, GLsizei);
};

extern EsFunctions es;

// Fills `es` by name through `lookup`. Returns the name of the first entry
// point that cannot be found (or that is the layer's own function), or nullptr
// when all are there.
const char* es_load(void* (*lookup)(const char* name));

// ES 3.0 enumerants that a GL 1.1 header need not define.
constexpr GLenum es_array_buffer = 0x8892;
constexpr GLenum es_element_array_buffer = 0x8893;
constexpr GLenum es_stream_draw = 0x88E0;
constexpr GLenum es_static_draw = 0x88E4;
constexpr GLenum es_fragment_shader = 0x8B30;
constexpr GLenum es_vertex_shader = 0x8B31;
constexpr GLenum es_compile_status = 0x8B81;
constexpr GLenum es_link_status = 0x8B82;
constexpr GLenum es_texture0 = 0x84C0;
constexpr GLenum es_clamp_to_edge = 0x812F;
