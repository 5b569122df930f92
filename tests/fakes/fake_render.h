// fake_render.h -- stand-ins for the render and geometry entry points the frame loop calls
#pragma once

#include <string>
#include <vector>

// One call into a stand-in: its name and arguments ("scene_a 0.22", "fade 1 0.95").
struct RenderCall {
    std::string name;
    float a;
    float b;
};

extern std::vector<RenderCall> render_calls;
