// blur.cpp -- the zoom blur: capture into a small texture, then stacked magnified layers
#include "render/blur.h"

#include <GL/gl.h>

#include <cstdlib>

// The capture size: small enough that the copy is cheap and the linear
// magnification of the composite softens it.
static constexpr int blur_size = 128;

std::uint32_t create_blur_texture()
{
    // Zero bytes: transparent black until the first capture. Without the buffer
    // the GL leaves the contents undefined, which the first capture overwrites.
    void* zeros = std::calloc(blur_size * blur_size * 4, 1);

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, blur_size, blur_size, 0, GL_RGBA, GL_UNSIGNED_BYTE, zeros);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    std::free(zeros);
    return name;
}

void capture_to_texture(std::uint32_t list, std::uint32_t texture)
{
    // The 800:600 projection squeezed into a square; the composite stretches it back.
    glViewport(0, 0, blur_size, blur_size);
    glCallList(list);

    // Luminance keeps only the red channel of each pixel.
    glBindTexture(GL_TEXTURE_2D, texture);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, 0, 0, blur_size, blur_size, 0);

    // The whole buffer, not just the corner: this clear lays Scene A's dark-blue
    // background, and its colour stays until the next frame's clear.
    glClearColor(0.0f, 0.0f, 0.3f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, 800, 600);
}

void push_ortho_view(float left, float right, float bottom, float top, float near_plane,
                     float far_plane)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(left, right, bottom, top, near_plane, far_plane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void draw_zoom_blur(std::int32_t count, float step, float start_alpha, std::uint32_t texture)
{
    glDisable(GL_FOG);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    // Each layer adds its colour weighted by its alpha: the blur only adds light.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, texture);

    // Pixel coordinates with y growing downward.
    push_ortho_view(0.0f, 800.0f, 600.0f, 0.0f, -1.0f, 1.0f);

    // Running single-precision sums, so the last layers carry their rounding.
    // The decrement is only needed when there is a layer to draw.
    float decrement = count > 0 ? start_alpha / static_cast<float>(count) : 0.0f;
    float inset = 0.0f;
    float alpha = start_alpha;

    glBegin(GL_QUADS);
    for (std::int32_t i = 0; i < count; ++i) {
        // Each layer shows the centred window [inset, 1 - inset] of the texture,
        // upright: its top row (t = 1) at the top of the screen.
        glColor4f(1.0f, 1.0f, 1.0f, alpha);
        glTexCoord2f(inset, 1.0f - inset);
        glVertex2f(0.0f, 0.0f);
        glTexCoord2f(inset, inset);
        glVertex2f(0.0f, 600.0f);
        glTexCoord2f(1.0f - inset, inset);
        glVertex2f(800.0f, 600.0f);
        glTexCoord2f(1.0f - inset, 1.0f - inset);
        glVertex2f(800.0f, 0.0f);
        inset = inset + step;
        alpha = alpha - decrement;
    }
    glEnd();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);

    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}
