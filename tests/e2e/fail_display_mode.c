/* fail_display_mode.c -- preloaded into Wine, makes every X display-mode switch fail as a driver that rejects it */
/*
 * Wine looks the XRandR functions up with dlsym; this dlsym hands it a
 * XRRSetCrtcConfig that always answers "failed", so ChangeDisplaySettings
 * returns DISP_CHANGE_FAILED and the program takes its windowed fallback.
 * Everything else is looked up as usual.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <string.h>

enum { rr_set_config_failed = 3 };

static int set_crtc_config_fails(void)
{
    return rr_set_config_failed;
}

void* dlsym(void* handle, const char* name)
{
    static void* (*real_dlsym)(void*, const char*);
    if (!real_dlsym) {
        real_dlsym = (void* (*)(void*, const char*))dlvsym(RTLD_NEXT, "dlsym", "GLIBC_2.34");
    }
    if (!real_dlsym) {
        real_dlsym = (void* (*)(void*, const char*))dlvsym(RTLD_NEXT, "dlsym", "GLIBC_2.2.5");
    }
    if (name && strcmp(name, "XRRSetCrtcConfig") == 0) {
        return (void*)set_crtc_config_fails;
    }
    return real_dlsym(handle, name);
}
