// native_rules.h -- what a native window system decides that the SDL and web platform files must decide alike
//
// A platform without native windows emulates these: which key press is a
// "system" key, and which null handle a native step would refuse, with the
// reason it gives. The window layer's boxes and the demo's ending depend on
// them, so they are stated once, here, and every emulating platform uses them.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Bit 29 of a key message's lParam: the Alt key was held.
constexpr std::intptr_t key_alt_held = std::intptr_t{1} << 29;

// A key press as a native system sends it: anything with Alt held, F10, and Alt
// on its own are "system" keys (msg_syskeydown), which do not end the demo.
struct NativeKey {
    std::uint32_t message;
    std::intptr_t lparam;
};
NativeKey native_key_press(bool alt_held, bool is_f10, bool is_alt_key);

// Why a native step would refuse these handles (one line), or nullptr when it
// would take them: a null context to delete, a null window or surface to
// release, a null window to destroy, a pixel format other than the one there is.
// Every platform refuses them alike: the teardown's boxes depend on it.
const char* refused_context(const PlatformContext* context);
const char* refused_surface(const PlatformWindow* window, const PlatformDc* dc);
const char* refused_window(const PlatformWindow* window);
const char* refused_pixel_format(const PlatformDc* dc, int index);
