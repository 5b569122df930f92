// es_functions.h -- the real OpenGL ES 3.0 entry points the layer draws with
#pragma once

#include <GL/gl.h>

#include <cstddef>

// The layer defines glEnable and the rest itself, so the context's functions
// are reached through this table, filled by name at start-up, and never by
// linking the ES library: one name, one meaning in every binary.
struct EsFunctions {
#define ES_FUNCTION(name, ret, params) ret(*name) params;
#define ES_LAYER_FUNCTION ES_FUNCTION
#include "gl11/es_function_list.h"
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
