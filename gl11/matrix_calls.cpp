// matrix_calls.cpp -- the matrix stacks and the calls that change them, the GL utility library's two included
#include <GL/gl.h>
#include <GL/glu.h>

#include "gl11/layer_state.h"
#include "gl11/matrix.h"

void glMatrixMode(GLenum mode)
{
    switch (mode) {
    case GL_MODELVIEW:
        gl11.matrix_mode = 0;
        break;
    case GL_PROJECTION:
        gl11.matrix_mode = 1;
        break;
    case GL_TEXTURE:
        gl11.matrix_mode = 2;
        break;
    default:
        break;
    }
}

void glLoadIdentity()
{
    current_matrix() = mat4_identity();
}

// A push on a full stack and a pop of the last entry are refused, as the GL
// refuses them (stack overflow and underflow errors), never run off the end.
void glPushMatrix()
{
    MatrixStack& stack = gl11.stacks[static_cast<std::size_t>(gl11.matrix_mode)];
    if (stack.top + 1 >= matrix_stack_depth) {
        return;
    }
    stack.entries[static_cast<std::size_t>(stack.top + 1)] =
        stack.entries[static_cast<std::size_t>(stack.top)];
    ++stack.top;
}

void glPopMatrix()
{
    MatrixStack& stack = gl11.stacks[static_cast<std::size_t>(gl11.matrix_mode)];
    if (stack.top > 0) {
        --stack.top;
    }
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z)
{
    current_matrix() = mat4_rotate(current_matrix(), angle, x, y, z);
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z)
{
    current_matrix() = mat4_translate(current_matrix(), x, y, z);
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near_val,
             GLdouble far_val)
{
    if (left == right || bottom == top || near_val == far_val) {
        return;
    }
    current_matrix() =
        mat4_multiply(current_matrix(), mat4_ortho(left, right, bottom, top, near_val, far_val));
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    current_matrix() =
        mat4_multiply(current_matrix(), mat4_perspective(fovy, aspect, zNear, zFar));
}

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ)
{
    current_matrix() = mat4_look_at(current_matrix(), eyeX, eyeY, eyeZ, centerX, centerY, centerZ,
                                    upX, upY, upZ);
}
