// scene_common.cpp -- the torus set-up and the glow panels both scenes draw
#include "render/scene_common.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "state/app_state.h"

// Every phase expression is evaluated in double from the single-precision clock
// and constants, then handed to the GL as a float (widened again for GLU).
static float to_float(double value)
{
    return static_cast<float>(value);
}

void begin_torus_scene(float t)
{
    glDisable(GL_FOG);
    glDisable(GL_LIGHTING);
    glPolygonMode(GL_FRONT, GL_FILL);
    glPolygonMode(GL_BACK, GL_FILL);
    // The torus is drawn additively and writes no depth, so it never hides a panel.
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);

    // The eye sways between 20 and 30 along +Z while the target bobs on the Y axis.
    double a = static_cast<double>(sway_rate) * t;
    gluLookAt(0.0, 0.0, to_float(25.0 + 5.0 * std::cos(a)), 0.0, to_float(5.0 * std::sin(a)), 0.0,
              0.0, 1.0, 0.0);

    // Red and blue leave [0, 1] on purpose; the GL clamps them.
    double b = static_cast<double>(torus_tint_rate) * t;
    glColor4f(to_float(0.5 + std::sin(b)), 1.0f, to_float(static_cast<double>(0.4f) + std::cos(b)),
              0.1f);

    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, app.torus_texture);

    glRotatef(to_float(2.0 * t), 0.0f, 1.0f, 0.0f);
    glRotatef(25.0f, 0.0f, 0.0f, 1.0f);
}

// A 2x2 square with its lower left corner at the origin; the texture's t runs
// downward so that t = 1 lies along the bottom edge.
static void draw_panel_quad()
{
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 2.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(2.0f, 2.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(2.0f, 0.0f);
    glEnd();
}

void draw_orbiting_panels(float t)
{
    glEnable(GL_DEPTH_TEST);

    double q = static_cast<double>(panel_tint_rate) * t;
    glColor4f(to_float(static_cast<double>(0.2f) + std::sin(q)), 1.0f,
              to_float(static_cast<double>(0.4f) + std::cos(q)), 0.5f);

    // The first panel circles the origin at radius 12, the second the point
    // (5, 0, 5), half a turn out of phase.
    double p = static_cast<double>(orbit_rate) * t;
    glLoadIdentity();
    gluLookAt(0.0, 0.0, 25.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glTranslatef(to_float(12.0 * std::sin(p)), 0.0f, to_float(12.0 * std::cos(p)));
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, app.panel_texture);
    draw_panel_quad();

    glLoadIdentity();
    gluLookAt(0.0, 0.0, 25.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glTranslatef(to_float(5.0 - 12.0 * std::sin(p)), 0.0f, to_float(5.0 - 12.0 * std::cos(p)));
    draw_panel_quad();
}
