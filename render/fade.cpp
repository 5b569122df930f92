// fade.cpp -- the full-screen fade quad the frame loop blends over each scene
#include "render/fade.h"

#include <GL/gl.h>

void draw_fade_quad(float grey, float alpha)
{
    // The quad lies on the near plane at distance 1; with the projection held in
    // single precision its depth comes out just inside the clip volume, and the
    // 2x2 square overfills the 45-degree view on every side.
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -1.0f);

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);

    glColor4f(grey, grey, grey, alpha);
    glBegin(GL_QUADS);
    glVertex3f(-1.0f, -1.0f, 0.0f);
    glVertex3f(1.0f, -1.0f, 0.0f);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glVertex3f(-1.0f, 1.0f, 0.0f);
    glEnd();
}
