// matrix.cpp -- the fixed pipeline's matrix arithmetic, in single precision
#include "gl11/matrix.h"

#include <cmath>
#include <numbers>

static float& at(Mat4& m, int row, int column)
{
    return m[static_cast<std::size_t>(4 * column + row)];
}

static float at(const Mat4& m, int row, int column)
{
    return m[static_cast<std::size_t>(4 * column + row)];
}

Mat4 mat4_identity()
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

Mat4 mat4_multiply(const Mat4& a, const Mat4& b)
{
    Mat4 p{};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            at(p, r, c) = at(a, r, 0) * at(b, 0, c) + at(a, r, 1) * at(b, 1, c) +
                          at(a, r, 2) * at(b, 2, c) + at(a, r, 3) * at(b, 3, c);
        }
    }
    return p;
}

Mat4 mat4_rotate(const Mat4& m, float degrees, float x, float y, float z)
{
    const auto radians = static_cast<float>(degrees * std::numbers::pi / 180.0);
    const float s = std::sin(radians);
    const float c = std::cos(radians);
    Mat4 r = mat4_identity();

    if (x == 0.0f && y == 0.0f && z != 0.0f) {
        at(r, 0, 0) = c;
        at(r, 1, 1) = c;
        at(r, 0, 1) = z < 0.0f ? s : -s;
        at(r, 1, 0) = z < 0.0f ? -s : s;
    } else if (x == 0.0f && z == 0.0f && y != 0.0f) {
        at(r, 0, 0) = c;
        at(r, 2, 2) = c;
        at(r, 0, 2) = y < 0.0f ? -s : s;
        at(r, 2, 0) = y < 0.0f ? s : -s;
    } else if (y == 0.0f && z == 0.0f && x != 0.0f) {
        at(r, 1, 1) = c;
        at(r, 2, 2) = c;
        at(r, 1, 2) = x < 0.0f ? s : -s;
        at(r, 2, 1) = x < 0.0f ? -s : s;
    } else {
        const float length = std::sqrt(x * x + y * y + z * z);
        if (length <= 1.0e-4f) {
            return m;
        }
        x /= length;
        y /= length;
        z /= length;
        // The products first, then scaled: the fixed pipeline rounds them in this order.
        const float xx = x * x;
        const float yy = y * y;
        const float zz = z * z;
        const float xy = x * y;
        const float yz = y * z;
        const float zx = z * x;
        const float xs = x * s;
        const float ys = y * s;
        const float zs = z * s;
        const float one_c = 1.0f - c;
        at(r, 0, 0) = one_c * xx + c;
        at(r, 0, 1) = one_c * xy - zs;
        at(r, 0, 2) = one_c * zx + ys;
        at(r, 1, 0) = one_c * xy + zs;
        at(r, 1, 1) = one_c * yy + c;
        at(r, 1, 2) = one_c * yz - xs;
        at(r, 2, 0) = one_c * zx - ys;
        at(r, 2, 1) = one_c * yz + xs;
        at(r, 2, 2) = one_c * zz + c;
    }
    return mat4_multiply(m, r);
}

Mat4 mat4_translate(const Mat4& m, float x, float y, float z)
{
    Mat4 t = m;
    for (int r = 0; r < 4; ++r) {
        at(t, r, 3) = at(m, r, 0) * x + at(m, r, 1) * y + at(m, r, 2) * z + at(m, r, 3);
    }
    return t;
}

Mat4 mat4_ortho(double left, double right, double bottom, double top, double near_z,
                double far_z)
{
    const auto l = static_cast<float>(left);
    const auto r = static_cast<float>(right);
    const auto b = static_cast<float>(bottom);
    const auto t = static_cast<float>(top);
    const auto n = static_cast<float>(near_z);
    const auto f = static_cast<float>(far_z);
    Mat4 o = mat4_identity();
    if (l == r || b == t || n == f) {
        return o;
    }
    at(o, 0, 0) = 2.0f / (r - l);
    at(o, 0, 3) = -(r + l) / (r - l);
    at(o, 1, 1) = 2.0f / (t - b);
    at(o, 1, 3) = -(t + b) / (t - b);
    at(o, 2, 2) = -2.0f / (f - n);
    at(o, 2, 3) = -(f + n) / (f - n);
    return o;
}

Mat4 mat4_perspective(double fovy_degrees, double aspect, double near_z, double far_z)
{
    const double radians = fovy_degrees / 2 * std::numbers::pi / 180;
    const double depth = far_z - near_z;
    const double sine = std::sin(radians);
    Mat4 p = mat4_identity();
    if (depth == 0 || sine == 0 || aspect == 0) {
        return p;
    }
    const double cotangent = std::cos(radians) / sine;
    at(p, 0, 0) = static_cast<float>(cotangent / aspect);
    at(p, 1, 1) = static_cast<float>(cotangent);
    at(p, 2, 2) = static_cast<float>(-(far_z + near_z) / depth);
    at(p, 3, 2) = -1.0f;
    at(p, 2, 3) = static_cast<float>(-2 * near_z * far_z / depth);
    at(p, 3, 3) = 0.0f;
    return p;
}

// Normalises in place with a double square root; a zero vector stays zero.
static void normalise(float v[3])
{
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length == 0.0) {
        return;
    }
    for (int i = 0; i < 3; ++i) {
        v[i] = static_cast<float>(v[i] / length);
    }
}

static void cross(const float a[3], const float b[3], float out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

Mat4 mat4_look_at(const Mat4& m, double eye_x, double eye_y, double eye_z, double centre_x,
                  double centre_y, double centre_z, double up_x, double up_y, double up_z)
{
    float forward[3] = {static_cast<float>(centre_x - eye_x), static_cast<float>(centre_y - eye_y),
                        static_cast<float>(centre_z - eye_z)};
    float up[3] = {static_cast<float>(up_x), static_cast<float>(up_y), static_cast<float>(up_z)};
    float side[3];
    normalise(forward);
    cross(forward, up, side);
    normalise(side);
    cross(side, forward, up);

    Mat4 v = mat4_identity();
    for (int c = 0; c < 3; ++c) {
        at(v, 0, c) = side[c];
        at(v, 1, c) = up[c];
        at(v, 2, c) = -forward[c];
    }
    return mat4_translate(mat4_multiply(m, v), static_cast<float>(-eye_x),
                          static_cast<float>(-eye_y), static_cast<float>(-eye_z));
}
