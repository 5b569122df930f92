// scene_a.h -- the spinning torus with its zoom blur and the two glow panels
#pragma once

// Draws Scene A at scene time t: captures the torus into the blur texture
// (which lays the dark-blue background), draws it additively without depth,
// adds the panels and the blur. Uses the blend function in force on entry for
// the torus and the panels. Expects a cleared frame, the identity on the
// modelview and the perspective projection; leaves the modelview at the
// identity, texturing and blending off and the clear colour (0, 0, 0.3, 0.5).
// Called by the frame loop while the scene clock's phase is below 75.
void draw_scene_a(float t);
