#include "view/OffscreenTarget.h"

bool OffscreenTarget::create(const QSize &size)
{
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &m_previous);
    glGenFramebuffers(1, &m_fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
    glGenRenderbuffers(1, &m_color);
    glBindRenderbuffer(GL_RENDERBUFFER, m_color);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size.width(), size.height());
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_color);
    glGenRenderbuffers(1, &m_depth);
    glBindRenderbuffer(GL_RENDERBUFFER, m_depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, size.width(), size.height());
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, m_depth);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

OffscreenTarget::~OffscreenTarget()
{
    if (!m_fbo)
        return;
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(m_previous));
    if (m_depth)
        glDeleteRenderbuffers(1, &m_depth);
    if (m_color)
        glDeleteRenderbuffers(1, &m_color);
    glDeleteFramebuffers(1, &m_fbo);
}
