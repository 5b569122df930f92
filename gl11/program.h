// program.h -- the layer's one shader pair: the fixed pipeline's unlit, unfogged path
#pragma once

#include <GL/gl.h>

constexpr GLuint attribute_position = 0;
constexpr GLuint attribute_colour = 1;
constexpr GLuint attribute_texcoord = 2;

// Compiles and links the pair, makes it current and finds its uniforms (into
// gl11). Returns false, with the compiler's log on stderr, when it fails.
bool build_program();
