#include "offscreen.h"

#define GL_GLEXT_PROTOTYPES
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <stdlib.h>

#include <thread>

struct Offscreen {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    GLuint framebuffer = 0, colour = 0, depth = 0;
    int width = 0, height = 0;
};

void leave_cores_to_encoding(void)
{
    unsigned cores = std::thread::hardware_concurrency();
    std::string threads = std::to_string(cores > 2 ? cores - 2 : 0);
    setenv("LP_NUM_THREADS", threads.c_str(), 0);
}

/* Mesa's surfaceless platform needs no device node and no X server. */
static EGLDisplay surfaceless_display(std::string *error)
{
    auto get_platform_display =
        (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");
    EGLDisplay display =
        get_platform_display ? get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)
                             : EGL_NO_DISPLAY;
    EGLint major, minor;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) {
        *error = "EGL has no surfaceless display (Mesa's EGL_PLATFORM_SURFACELESS_MESA) to draw on";
        return EGL_NO_DISPLAY;
    }
    return display;
}

/* Desktop OpenGL, compatibility profile: the fixed-function pipeline. */
static EGLContext compatibility_context(EGLDisplay display, std::string *error)
{
    const EGLint config_attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                        EGL_DEPTH_SIZE, 24, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
                                        EGL_NONE};
    const EGLint context_attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                         EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLConfig config;
    EGLint count = 0;
    if (!eglChooseConfig(display, config_attributes, &config, 1, &count) || count < 1) {
        *error = "EGL offers no configuration with desktop OpenGL and a 24-bit depth buffer";
        return EGL_NO_CONTEXT;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        *error = "EGL can't bind desktop OpenGL";
        return EGL_NO_CONTEXT;
    }
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, context_attributes);
    if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        *error = "EGL can't make an OpenGL compatibility-profile context current";
        return EGL_NO_CONTEXT;
    }
    return context;
}

static bool make_framebuffer(Offscreen *o, std::string *error)
{
    glGenFramebuffers(1, &o->framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, o->framebuffer);
    glGenRenderbuffers(1, &o->colour);
    glBindRenderbuffer(GL_RENDERBUFFER, o->colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, o->width, o->height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, o->colour);
    glGenRenderbuffers(1, &o->depth);
    glBindRenderbuffer(GL_RENDERBUFFER, o->depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, o->width, o->height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, o->depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE)
        return true;
    *error = "OpenGL can't make a " + std::to_string(o->width) + " x " + std::to_string(o->height) +
             " framebuffer to draw in";
    return false;
}

bool open_offscreen(int width, int height, Offscreen **out, std::string *error)
{
    Offscreen *o = new Offscreen;
    o->width = width;
    o->height = height;
    o->display = surfaceless_display(error);
    bool ok = o->display != EGL_NO_DISPLAY;
    if (ok)
        o->context = compatibility_context(o->display, error);
    ok = ok && o->context != EGL_NO_CONTEXT && make_framebuffer(o, error);
    if (!ok) {
        close_offscreen(o);
        return false;
    }
    *out = o;
    return true;
}

void read_picture(const Offscreen *o, Picture *picture)
{
    picture->width = o->width;
    picture->height = o->height;
    picture->rgb.resize((size_t)o->width * o->height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    std::vector<uint8_t> bottom_up(picture->rgb.size());
    glReadPixels(0, 0, o->width, o->height, GL_RGB, GL_UNSIGNED_BYTE, bottom_up.data());
    size_t row = (size_t)o->width * 3;
    for (int y = 0; y < o->height; y++)
        std::copy(bottom_up.begin() + (long)(row * (size_t)(o->height - 1 - y)),
                  bottom_up.begin() + (long)(row * (size_t)(o->height - y)), picture->rgb.begin() + (long)(row * (size_t)y));
}

void close_offscreen(Offscreen *o)
{
    if (o->framebuffer) {
        glDeleteFramebuffers(1, &o->framebuffer);
        glDeleteRenderbuffers(1, &o->colour);
        glDeleteRenderbuffers(1, &o->depth);
    }
    if (o->display != EGL_NO_DISPLAY) {
        eglMakeCurrent(o->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (o->context != EGL_NO_CONTEXT)
            eglDestroyContext(o->display, o->context);
        eglTerminate(o->display);
    }
    delete o;
}

void draw_picture(const FrameView *view, CaptionFont *font, const std::string &caption, const Offscreen *o,
                  Picture *picture)
{
    draw_clear();
    if (font) {
        caption_begin();
        draw_caption_text(font, caption);
        caption_end();
    }
    draw_faces(view);
    glFinish();
    read_picture(o, picture);
}
