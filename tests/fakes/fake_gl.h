// fake_gl.h -- records the GL calls of the display-list compiler, in order
#pragma once

#include <GL/gl.h>

#include <string>
#include <vector>

// One recorded call: its name, integer arguments, float arguments (the values a
// *fv call read) and the client pointer it was given, if any.
struct FakeGlCall {
    std::string name;
    std::vector<long long> ints;
    std::vector<float> floats;
    const void* data;
};

// Every call since the last fake_gl_reset.
extern std::vector<FakeGlCall> fake_gl_calls;

// Clears the record; glGenLists then hands out next_list (0: no list to give).
void fake_gl_reset(GLuint next_list);

// The names of the recorded calls, in order.
std::vector<std::string> fake_gl_call_names();
