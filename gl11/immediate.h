// immediate.h -- glBegin/glEnd and the current vertex attributes, for the array draw to share
#pragma once

#include <GL/gl.h>

// The steps of glBegin, glTexCoord, glVertex and glEnd, so a glDrawElements
// goes the same way into a display list or onto the screen as the same
// vertices given one by one would.
void begin_primitive(GLenum mode);
void set_texcoord(float s, float t);
void emit_vertex(float x, float y, float z, float w);
void end_primitive();
