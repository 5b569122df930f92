// render_state.h -- the one-time GL set-up before the first frame
#pragma once

// Makes the three textures and the blur texture, clears, sets lights, fog,
// blending, the 800x600 viewport and the perspective projection. Needs a current
// GL context; called once by start-up.
void setup_render_state();
