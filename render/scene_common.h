// scene_common.h -- what Scene A and Scene B share: clock rates, torus set-up, glow panels
#pragma once

// Rates that turn the scene clock into phases (radians per unit of scene time).
// Two of them sit one ulp below the nearest single: the motion over a long run
// depends on the exact bits, so they must not be tidied to 0.05f and 0.006f.
constexpr float sway_rate = 0.049999997f;         // 0x3D4CCCCC; camera sway
constexpr float torus_tint_rate = 0.06f;          // 0x3D75C28F; torus colour
constexpr float panel_tint_rate = 0.0059999996f;  // 0x3BC49BA5; panel colour
constexpr float orbit_rate = 0.08f;               // 0x3DA3D70A; panel orbits, blur strength
constexpr float blur_alpha_swing = 0.025999999f;  // 0x3CD4FDF3; one ulp below 0.026f

// Turns fog, lighting, depth test and culling off, fills both faces, sets the
// swaying camera, the torus tint, texturing with the torus texture and the
// spin and tilt on the modelview matrix. Expects the identity on the modelview.
// Sets no blend function: the torus is drawn with the one in force. Called
// first by both scenes.
void begin_torus_scene(float t);

// Turns the depth test on and draws the two orbiting glow panels, tinted, as
// seen from the fixed camera at (0, 0, 25). Leaves the panel texture bound and
// the second panel's transform on the modelview. Called by both scenes after
// their torus.
void draw_orbiting_panels(float t);
