#pragma once

#include <epoxy/gl.h>

#include <QSize>

// An off-screen colour + depth/stencil target, bound by create() and removed when it goes out
// of scope; the framebuffer bound before create() is bound again then.
class OffscreenTarget
{
public:
    OffscreenTarget() = default;
    ~OffscreenTarget();
    OffscreenTarget(const OffscreenTarget &) = delete;
    OffscreenTarget &operator=(const OffscreenTarget &) = delete;

    // False when the driver cannot make a complete framebuffer of that size.
    bool create(const QSize &size);

private:
    GLuint m_fbo = 0, m_color = 0, m_depth = 0;
    GLint m_previous = 0;
};
