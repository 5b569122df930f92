// float_types.h -- packed single-precision vectors shared by the mesh arrays and GL
#pragma once

// Three packed floats (12 bytes); handed to GL with a stride of 0.
struct Float3 {
    float x, y, z;
};

// Two packed floats (8 bytes).
struct Float2 {
    float u, v;
};

static_assert(sizeof(Float3) == 12 && sizeof(Float2) == 8, "mesh arrays must be packed");
