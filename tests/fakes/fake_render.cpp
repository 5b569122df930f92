// fake_render.cpp -- records the frame loop's calls into rendering instead of drawing
#include "tests/fakes/fake_render.h"

#include "geometry/torus.h"
#include "render/fade.h"
#include "render/render_state.h"
#include "render/scene_a.h"
#include "render/scene_b.h"

std::vector<RenderCall> render_calls;

void setup_render_state()
{
    render_calls.push_back({"setup_render_state", 0, 0});
}

std::uint32_t generate_torus(std::int32_t tube_segments, std::int32_t ring_segments, float,
                             float, std::int32_t)
{
    render_calls.push_back(
        {"generate_torus", static_cast<float>(tube_segments), static_cast<float>(ring_segments)});
    return 42;
}

void draw_fade_quad(float grey, float alpha)
{
    render_calls.push_back({"fade", grey, alpha});
}

void draw_scene_a(float t)
{
    render_calls.push_back({"scene_a", t, 0});
}

void draw_scene_b(float t)
{
    render_calls.push_back({"scene_b", t, 0});
}
