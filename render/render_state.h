// render_state.h -- the one-time GL set-up before the first frame
#pragma once

// Makes the three textures from the built-in images and the blur texture,
// clears the frame buffer, sets lights, fog, culling and additive blending, the
// 800x600 viewport and the 45-degree perspective projection, and leaves
// GL_MODELVIEW current with the identity. A texture that cannot be made is
// stored as 0 and drawn untextured; nothing is reported. Needs a current GL
// context; called once by start-up.
void setup_render_state();

// Fills the light and material arrays of AppState and sets smooth shading,
// depth test, face culling, the perspective hint, linear fog, light 0, the
// front material and additive blending. Expects the identity on the modelview
// matrix (the light's direction is taken in eye space). Called only by
// setup_render_state.
void setup_lights_and_fog();
