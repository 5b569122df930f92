// native_rules.cpp -- system keys and refused null handles, as a native window system has them
#include "app/native_rules.h"

NativeKey native_key_press(bool alt_held, bool is_f10, bool is_alt_key)
{
    bool system = alt_held || is_f10 || is_alt_key;
    return NativeKey{system ? msg_syskeydown : msg_keydown, alt_held ? key_alt_held : 0};
}

const char* refused_context(const PlatformContext* context)
{
    return context ? nullptr : "there is no rendering context to delete";
}

const char* refused_surface(const PlatformWindow* window, const PlatformDc* dc)
{
    return window && dc ? nullptr : "there is no window surface to release";
}

const char* refused_window(const PlatformWindow* window)
{
    return window ? nullptr : "there is no window to destroy";
}

const char* refused_pixel_format(const PlatformDc* dc, int index)
{
    return dc && index == 1 ? nullptr : "no such pixel format";
}
