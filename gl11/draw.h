// draw.h -- draws vertices through the layer's shader pair with the GL 1.1 state in force
#pragma once

#include <cstdint>
#include <vector>

#include "gl11/layer_state.h"

// Appends one primitive's vertices and indices to growing arrays (a display
// list's or the stream's) and returns where they landed. The indices are made
// absolute, counted from the start of `vertices`.
DrawRange append_primitive(GLenum mode, const std::vector<Vertex>& primitive, unsigned per_vertex,
                           std::vector<Vertex>& vertices, std::vector<GLuint>& indices);

// Draws `range` from the two buffers with the current matrices, colour,
// texture, texture switch and polygon mode.
void draw_range(const DrawRange& range, GLuint vertex_buffer, GLuint index_buffer);

// Draws one primitive now, through the stream buffers.
void draw_now(GLenum mode, const std::vector<Vertex>& primitive, unsigned per_vertex);
