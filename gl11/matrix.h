// matrix.h -- 4x4 single-precision matrices in the GL's column-major order
#pragma once

#include <array>

// Element (row r, column c) is m[4 * c + r], as the GL stores it.
using Mat4 = std::array<float, 16>;

Mat4 mat4_identity();

// a * b, in single precision, each element summed in the order k = 0..3 as the
// fixed pipeline's own multiply does.
Mat4 mat4_multiply(const Mat4& a, const Mat4& b);

// m * (rotation by `degrees` about (x, y, z)); an axis shorter than 1e-4 leaves m
// as it is. Rotations about a coordinate axis are built exactly, with no
// rounding from normalising the axis.
Mat4 mat4_rotate(const Mat4& m, float degrees, float x, float y, float z);

// m * (translation by (x, y, z)).
Mat4 mat4_translate(const Mat4& m, float x, float y, float z);

// The glOrtho matrix, from the bounds narrowed to single precision; a zero
// extent gives the identity (the GL refuses such a call).
Mat4 mat4_ortho(double left, double right, double bottom, double top, double near_z,
                double far_z);

// The perspective matrix, computed in double and narrowed, as the GL utility
// library builds it; identity when the frustum is degenerate (the call is
// then ignored).
Mat4 mat4_perspective(double fovy_degrees, double aspect, double near_z, double far_z);

// The look-at matrix including its translation by -eye: the rotation computed
// in single precision, then the translation narrowed to single precision.
Mat4 mat4_look_at(const Mat4& m, double eye_x, double eye_y, double eye_z, double centre_x,
                  double centre_y, double centre_z, double up_x, double up_y, double up_z);
