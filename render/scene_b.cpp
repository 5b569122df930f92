// scene_b.cpp -- the tumbling torus, filled and as wireframe, with the two glow panels
#include "render/scene_b.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "render/scene_common.h"
#include "state/app_state.h"

void draw_scene_b(float t)
{
    begin_torus_scene(t);

    // A second look-at on top of the first camera, spin and tilt. Its eye and
    // target never meet: the view direction always has z = -5.
    double a = static_cast<double>(sway_rate) * t;
    gluLookAt(0.0, static_cast<float>(5.0 * std::cos(a)), 5.0, 0.0,
              static_cast<float>(5.0 * std::sin(a)), 0.0, 0.0, 1.0, 0.0);
    glRotatef(static_cast<float>(-4.0 * t), 1.0f, 1.0f, 0.0f);

    // The same torus twice, filled and then as lines added over it.
    glCallList(app.torus_list);
    glPolygonMode(GL_FRONT, GL_LINE);
    glPolygonMode(GL_BACK, GL_LINE);
    glCallList(app.torus_list);
    glPolygonMode(GL_FRONT, GL_FILL);
    glPolygonMode(GL_BACK, GL_FILL);

    draw_orbiting_panels(t);
}
