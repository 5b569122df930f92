// render_checks.h -- reading the picture and GL state back for the rendering tests
#pragma once

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <vector>

// The whole 800x600 colour buffer as RGBA bytes, bottom row first. Read it
// before any swap: the offscreen surface has a single buffer.
struct Picture {
    std::vector<std::uint8_t> rgba;
    std::array<std::uint8_t, 4> at(int x, int y) const;
};
Picture read_picture();

GLint gl_integer(GLenum which);
bool gl_enabled(GLenum which);
std::array<GLfloat, 4> gl_float4(GLenum which);
std::array<GLfloat, 16> gl_matrix(GLenum which);

// The state the frame loop hands each scene: what the previous frame's logo
// overlay leaves (blending ONE, ONE, depth test on, texturing off, white), then
// the frame's black clear and the identity on the modelview.
void enter_frame();

// A display list of `vertices` (x, y, z triples) drawn as GL_TRIANGLES: a
// stand-in for the torus where a test needs a shape it can reason about.
GLuint compile_triangles(const std::vector<float>& vertices);

// Two triangles making the square [-h, h] x [-h, h] in the plane z = 0.
GLuint compile_square(float h);
