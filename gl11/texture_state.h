// texture_state.h -- what the layer remembers of texture objects
#pragma once

#include <GL/gl.h>

#include "gl11/layer_state.h"

// The record of texture `name`, made on first use.
TextureRecord& texture_record(GLuint name);

// Whether `record` can be sampled: a level 0 of positive size and, when the
// minification filter uses mipmaps, every level down to 1 x 1.
bool texture_complete(const TextureRecord& record);

// GL_TEXTURE_2D is on and the bound texture is complete. GL 1.1 draws
// untextured otherwise; ES would sample an incomplete texture as black.
bool texturing_in_effect();

// Notes that `level` of the bound texture now has a width x height image.
void record_level(GLint level, GLsizei width, GLsizei height);

// The ES base format a GL 1.1 internal format stands for (1 to 4 components,
// the unsized names, their 8-bit sized names), or 0 for one ES cannot hold.
GLenum base_format(GLint internal_format);
