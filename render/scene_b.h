// scene_b.h -- the tumbling torus, filled and as wireframe, with the two glow panels
#pragma once

// Draws Scene B at scene time t over the frame loop's black clear: the torus
// carried by a second look-at and tumbling, drawn filled and then as lines,
// then the panels. Uses the blend function in force on entry; never clears.
// Leaves the second panel's transform on the modelview, depth test, texturing
// and blending on, both faces filled. Called by the frame loop while the scene
// clock's phase is 75 or more.
void draw_scene_b(float t);
