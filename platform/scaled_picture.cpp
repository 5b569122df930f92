// scaled_picture.cpp -- the off-screen picture: its framebuffer object, the fit, the blit
#include "platform/scaled_picture.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstring>

// Entry points beyond OpenGL 1.1, looked up once a context exists.
struct ScaledPicture {
    PFNGLGENFRAMEBUFFERSPROC gen_framebuffers;
    PFNGLDELETEFRAMEBUFFERSPROC delete_framebuffers;
    PFNGLBINDFRAMEBUFFERPROC bind_framebuffer;
    PFNGLGENRENDERBUFFERSPROC gen_renderbuffers;
    PFNGLDELETERENDERBUFFERSPROC delete_renderbuffers;
    PFNGLBINDRENDERBUFFERPROC bind_renderbuffer;
    PFNGLRENDERBUFFERSTORAGEPROC renderbuffer_storage;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebuffer_renderbuffer;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC check_framebuffer_status;
    PFNGLBLITFRAMEBUFFERPROC blit_framebuffer;
    GLuint framebuffer;
    GLuint colour;
    GLuint depth;
    int width;
    int height;
    char failure[160];
};
static ScaledPicture picture;

PictureRect fit_picture(int client_width, int client_height, int picture_width, int picture_height)
{
    if (client_width <= 0 || client_height <= 0 || picture_width <= 0 || picture_height <= 0) {
        return {0, 0, 0, 0};
    }
    // Whichever side is the tighter fit sets the scale; the other is rounded to
    // the nearest pixel. 64-bit products: a 16k client times 800 fits anyway.
    const long long wide = static_cast<long long>(client_width) * picture_height;
    const long long tall = static_cast<long long>(client_height) * picture_width;
    int width = client_width;
    int height = client_height;
    if (wide > tall) {
        width = static_cast<int>((tall + picture_height / 2) / picture_height);
    } else {
        height = static_cast<int>((wide + picture_width / 2) / picture_width);
    }
    return {(client_width - width) / 2, (client_height - height) / 2, width, height};
}

// True where the current context has full framebuffer objects with blits.
static bool has_framebuffer_objects()
{
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version && version[0] >= '3' && version[0] <= '9') {
        return true;
    }
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return extensions && std::strstr(extensions, "GL_ARB_framebuffer_object") != nullptr;
}

template <typename Function>
static bool look_up(GlLookup lookup, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(lookup(name));
    return function != nullptr;
}

static bool refuse(const char* reason)
{
    std::snprintf(picture.failure, sizeof picture.failure, "%s", reason);
    return false;
}

bool scaled_picture_start(GlLookup lookup, int width, int height)
{
    picture = ScaledPicture{};
    if (!has_framebuffer_objects()) {
        return refuse("the OpenGL driver has no framebuffer objects (OpenGL 3.0 or "
                      "GL_ARB_framebuffer_object), which showing the picture scaled needs");
    }
    const bool found = look_up(lookup, "glGenFramebuffers", picture.gen_framebuffers) &&
                       look_up(lookup, "glDeleteFramebuffers", picture.delete_framebuffers) &&
                       look_up(lookup, "glBindFramebuffer", picture.bind_framebuffer) &&
                       look_up(lookup, "glGenRenderbuffers", picture.gen_renderbuffers) &&
                       look_up(lookup, "glDeleteRenderbuffers", picture.delete_renderbuffers) &&
                       look_up(lookup, "glBindRenderbuffer", picture.bind_renderbuffer) &&
                       look_up(lookup, "glRenderbufferStorage", picture.renderbuffer_storage) &&
                       look_up(lookup, "glFramebufferRenderbuffer", picture.framebuffer_renderbuffer) &&
                       look_up(lookup, "glCheckFramebufferStatus", picture.check_framebuffer_status) &&
                       look_up(lookup, "glBlitFramebuffer", picture.blit_framebuffer);
    if (!found) {
        return refuse("the OpenGL driver does not give out its framebuffer functions");
    }
    picture.width = width;
    picture.height = height;

    picture.gen_renderbuffers(1, &picture.colour);
    picture.bind_renderbuffer(GL_RENDERBUFFER, picture.colour);
    picture.renderbuffer_storage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    picture.gen_renderbuffers(1, &picture.depth);
    picture.bind_renderbuffer(GL_RENDERBUFFER, picture.depth);
    picture.renderbuffer_storage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, width, height);
    picture.bind_renderbuffer(GL_RENDERBUFFER, 0);

    picture.gen_framebuffers(1, &picture.framebuffer);
    picture.bind_framebuffer(GL_FRAMEBUFFER, picture.framebuffer);
    picture.framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                     picture.colour);
    picture.framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                     picture.depth);
    if (picture.check_framebuffer_status(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        scaled_picture_stop();
        return refuse("the OpenGL driver cannot draw into an 800x600 RGBA8 framebuffer object");
    }
    return true;
}

const char* scaled_picture_failure()
{
    return picture.failure;
}

void scaled_picture_present(int client_width, int client_height)
{
    const PictureRect fitted = fit_picture(client_width, client_height, picture.width, picture.height);
    // The bars are cleared with the colour every frame clears with, so the next
    // frame starts from the state it would have had anyway.
    picture.bind_framebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT);
    picture.blit_framebuffer(0, 0, picture.width, picture.height, fitted.x, fitted.y,
                             fitted.x + fitted.width, fitted.y + fitted.height, GL_COLOR_BUFFER_BIT,
                             GL_LINEAR);
    picture.bind_framebuffer(GL_DRAW_FRAMEBUFFER, picture.framebuffer);
}

void scaled_picture_stop()
{
    if (!picture.bind_framebuffer) {
        return;
    }
    picture.bind_framebuffer(GL_FRAMEBUFFER, 0);
    picture.delete_framebuffers(1, &picture.framebuffer);
    picture.delete_renderbuffers(1, &picture.colour);
    picture.delete_renderbuffers(1, &picture.depth);
    picture.framebuffer = picture.colour = picture.depth = 0;
}
