#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include "slicing/GlContext.h"

#include <QByteArray>
#include <QStringList>
#include <map>
#include <mutex>
#include <vector>

namespace {

QString eglErrorText(EGLint code)
{
    switch (code) {
    case EGL_SUCCESS: return "no error";
    case EGL_NOT_INITIALIZED: return "EGL not initialised";
    case EGL_BAD_ACCESS: return "bad access";
    case EGL_BAD_ALLOC: return "out of memory";
    case EGL_BAD_ATTRIBUTE: return "bad attribute";
    case EGL_BAD_CONFIG: return "bad config";
    case EGL_BAD_CONTEXT: return "bad context";
    case EGL_BAD_DISPLAY: return "bad display";
    case EGL_BAD_MATCH: return "bad match (context version or profile not supported)";
    case EGL_BAD_PARAMETER: return "bad parameter";
    case EGL_BAD_SURFACE: return "bad surface";
    default: return QString("EGL error 0x%1").arg(code, 0, 16);
    }
}

bool hasClientExtension(const char *name)
{
    const char *ext = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!ext)
        return false;
    return QByteArray(ext).split(' ').contains(QByteArray(name));
}

struct Candidate
{
    QString label;
    EGLenum platform;     // 0: eglGetDisplay(EGL_DEFAULT_DISPLAY)
    void *nativeDisplay;
};

// NVIDIA devices first (their driver has no surfaceless platform), then Mesa's surfaceless
// platform, then the default display.
std::vector<Candidate> candidates()
{
    std::vector<Candidate> list;
    if (hasClientExtension("EGL_EXT_device_enumeration") && hasClientExtension("EGL_EXT_platform_device")) {
        EGLDeviceEXT devices[16];
        EGLint count = 0;
        if (eglQueryDevicesEXT(16, devices, &count)) {
            for (EGLint i = 0; i < count; ++i) {
                const char *ext = eglQueryDeviceStringEXT(devices[i], EGL_EXTENSIONS);
                if (ext && QByteArray(ext).contains("EGL_NV_"))
                    list.push_back({QString("device %1 (NVIDIA)").arg(i), EGL_PLATFORM_DEVICE_EXT, devices[i]});
            }
        }
    }
    if (hasClientExtension("EGL_MESA_platform_surfaceless"))
        list.push_back({"surfaceless", EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY});
    list.push_back({"default display", 0, EGL_DEFAULT_DISPLAY});
    return list;
}

// EGL hands out one display per platform, and eglTerminate ends it for every user, so
// two contexts on the same display count their users before terminating it.
std::mutex displayUsersLock;
std::map<EGLDisplay, int> displayUsers;

void retainDisplay(EGLDisplay dpy)
{
    std::lock_guard<std::mutex> lock(displayUsersLock);
    ++displayUsers[dpy];
}

void releaseDisplay(EGLDisplay dpy)
{
    std::lock_guard<std::mutex> lock(displayUsersLock);
    if (--displayUsers[dpy] <= 0) {
        displayUsers.erase(dpy);
        eglTerminate(dpy);
    }
}

} // namespace

struct GlContext::Private
{
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;   // a 1×1 pbuffer only where surfaceless contexts are missing
    QString error;
    QString description;

    void destroy()
    {
        if (display == EGL_NO_DISPLAY)
            return;
        if (context != EGL_NO_CONTEXT && eglGetCurrentContext() == context)
            eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (surface != EGL_NO_SURFACE)
            eglDestroySurface(display, surface);
        if (context != EGL_NO_CONTEXT)
            eglDestroyContext(display, context);
        releaseDisplay(display);
        display = EGL_NO_DISPLAY;
        context = EGL_NO_CONTEXT;
        surface = EGL_NO_SURFACE;
    }

    // One attempt on one display; on failure the reason goes to *why and nothing is kept.
    bool tryCandidate(const Candidate &c, QString *why)
    {
        EGLDisplay dpy = c.platform ? eglGetPlatformDisplayEXT(c.platform, c.nativeDisplay, nullptr)
                                    : eglGetDisplay(EGL_DEFAULT_DISPLAY);
        if (dpy == EGL_NO_DISPLAY) {
            *why = "no display";
            return false;
        }
        EGLint major = 0, minor = 0;
        if (!eglInitialize(dpy, &major, &minor)) {
            *why = "initialise failed: " + eglErrorText(eglGetError());
            return false;
        }
        display = dpy;
        retainDisplay(dpy);
        if (!eglBindAPI(EGL_OPENGL_API)) {
            *why = "desktop OpenGL not offered";
            destroy();
            return false;
        }
        const bool surfaceless = epoxy_has_egl_extension(dpy, "EGL_KHR_surfaceless_context");
        const EGLint configAttribs[] = {
            EGL_SURFACE_TYPE, surfaceless ? 0 : EGL_PBUFFER_BIT,
            EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
            EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
            EGL_NONE};
        EGLConfig config = nullptr;
        EGLint numConfigs = 0;
        if (!eglChooseConfig(dpy, configAttribs, &config, 1, &numConfigs) || numConfigs < 1) {
            *why = "no OpenGL config";
            destroy();
            return false;
        }
        const EGLint contextAttribs[] = {
            EGL_CONTEXT_MAJOR_VERSION, 3,
            EGL_CONTEXT_MINOR_VERSION, 2,
            EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
            EGL_NONE};
        context = eglCreateContext(dpy, config, EGL_NO_CONTEXT, contextAttribs);
        if (context == EGL_NO_CONTEXT) {
            *why = "no 3.2 core context: " + eglErrorText(eglGetError());
            destroy();
            return false;
        }
        if (!surfaceless) {
            const EGLint pbufferAttribs[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
            surface = eglCreatePbufferSurface(dpy, config, pbufferAttribs);
            if (surface == EGL_NO_SURFACE) {
                *why = "no surface: " + eglErrorText(eglGetError());
                destroy();
                return false;
            }
        }
        if (!eglMakeCurrent(dpy, surface, surface, context)) {
            *why = "make current failed: " + eglErrorText(eglGetError());
            destroy();
            return false;
        }
        if (epoxy_gl_version() < 32) {
            *why = QString("OpenGL %1.%2 is below 3.2").arg(epoxy_gl_version() / 10).arg(epoxy_gl_version() % 10);
            destroy();
            return false;
        }
        description = QString("%1, %2, %3")
                          .arg(c.label,
                               QString::fromLatin1(reinterpret_cast<const char *>(glGetString(GL_RENDERER))),
                               QString::fromLatin1(reinterpret_cast<const char *>(glGetString(GL_VERSION))));
        return true;
    }
};

GlContext::GlContext() : d(new Private) {}

GlContext::~GlContext()
{
    d->destroy();
}

bool GlContext::create()
{
    d->destroy();
    d->error.clear();
    if (!epoxy_has_egl()) {
        d->error = "No OpenGL context: the EGL library is not available.";
        return false;
    }
    QStringList reasons;
    for (const Candidate &c : candidates()) {
        QString why;
        if (d->tryCandidate(c, &why))
            return true;
        reasons << c.label + ": " + why;
    }
    d->error = "No OpenGL 3.2 core context could be created (" + reasons.join("; ") + ").";
    return false;
}

bool GlContext::isValid() const
{
    return d->context != EGL_NO_CONTEXT;
}

bool GlContext::makeCurrent()
{
    if (!isValid()) {
        d->error = "No OpenGL context.";
        return false;
    }
    if (!eglMakeCurrent(d->display, d->surface, d->surface, d->context)) {
        d->error = "The OpenGL context cannot be made current: " + eglErrorText(eglGetError());
        return false;
    }
    return true;
}

void GlContext::doneCurrent()
{
    if (d->display != EGL_NO_DISPLAY)
        eglMakeCurrent(d->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

QString GlContext::errorString() const
{
    return d->error;
}

QString GlContext::description() const
{
    return d->description;
}

std::unique_ptr<GlContext> GlContext::createCurrent(QString *error)
{
    auto ctx = std::make_unique<GlContext>();
    if (!ctx->create()) {
        if (error)
            *error = ctx->errorString();
        return nullptr;
    }
    return ctx;
}
