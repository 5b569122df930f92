// app_state.h -- AppState, the one global record every subsystem shares
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "state/float_types.h"

struct AppState {
    float fade_level;          // alpha of the full-screen fade quad; +-0.05 a frame, never clamped
    float scene_time;          // scene clock: +0.22 a frame, drives all animation
    std::uint32_t blur_texture;   // 128x128 target of the zoom-blur capture
    std::uint32_t torus_texture;  // from torus_image
    std::uint32_t panel_texture;  // from panel_image
    std::int32_t frame_count;  // frames drawn since the last frame-rate title
    PlatformDc* dc;            // surface frames are presented to
    PlatformContext* rc;       // GL rendering context, current on the main thread
    PlatformWindow* window;    // the one top-level window
    std::uint32_t logo_texture;   // from logo_image, the lower-right overlay
    std::uint32_t torus_list;  // display list drawn by both scenes
    std::int32_t triangle_count;  // triangles of the current mesh
    std::int32_t vertex_count;    // entries of each per-vertex array of the current mesh
    Message message;           // filled by the frame loop's pump, then dispatched
    bool mouse_seen;           // a screensaver ending on the mouse has seen where it starts
    std::int32_t mouse_start_x;   // ... and where that was, in client coordinates
    std::int32_t mouse_start_y;

    // Working arrays, each replaced whole when rebuilt.
    std::vector<std::uint32_t> mesh_indices;  // 3 corners per triangle
    std::vector<Float3> mesh_positions;
    std::vector<Float2> mesh_texcoords;
    std::vector<Float3> mesh_normals;       // unit vertex normals
    std::vector<Float3> mesh_face_normals;  // unnormalised, length = twice the area
    std::vector<std::uint8_t> bmp_pixels;   // buffer of the image being decoded

    // Light and material values handed to GL at set-up.
    float light_ambient[4];
    float light_diffuse[4];
    float light_position[4];
    float material_ambient[4];
    float material_diffuse[4];
};

extern AppState app;
