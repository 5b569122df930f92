// scaled_picture.h -- the picture drawn off screen at its own size and shown scaled into any window
#pragma once

// How the platform finds a GL function by name (SDL_GL_GetProcAddress, wglGetProcAddress).
using GlLookup = void* (*)(const char* name);

// After the context is current: a width x height framebuffer object (RGBA8 colour
// and 16-bit depth renderbuffers), bound for drawing and reading, so every frame's
// drawing and its read-backs (the blur's copy) use it. False, with a reason for
// scaled_picture_failure, where the GL has no framebuffer objects (GL 3.0 or
// ARB_framebuffer_object) or the buffer cannot be completed. Called by the
// platform that shows a scaled window.
bool scaled_picture_start(GlLookup lookup, int width, int height);
// Why the last scaled_picture_start failed.
const char* scaled_picture_failure();
// Before the swap: draws framebuffer 0 black, blits the picture into the largest
// rectangle of the client area with the picture's aspect (centred, GL_LINEAR),
// and binds the picture again for the next frame.
void scaled_picture_present(int client_width, int client_height);
// Deletes the buffers, with the context still current.
void scaled_picture_stop();

// The fitted rectangle, pure arithmetic: x, y from the client area's lower left
// corner (GL's), width and height.
struct PictureRect {
    int x, y, width, height;
};
// The largest picture_width:picture_height rectangle centred in the client area;
// an empty one for an empty client area.
PictureRect fit_picture(int client_width, int client_height, int picture_width, int picture_height);
