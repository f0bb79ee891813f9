#include "slicing/GlState.h"

namespace {

void setEnabled(GLenum cap, GLboolean on)
{
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

} // namespace

GlStateGuard::GlStateGuard()
{
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &m_drawFbo);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &m_readFbo);
    glGetIntegerv(GL_CURRENT_PROGRAM, &m_program);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &m_vao);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &m_arrayBuffer);
    glGetIntegerv(GL_FRONT_FACE, &m_frontFace);
    glGetIntegerv(GL_VIEWPORT, m_viewport);
    glGetIntegerv(GL_SCISSOR_BOX, m_scissorBox);
    glGetIntegerv(GL_PACK_ALIGNMENT, &m_packAlignment);
    glGetBooleanv(GL_COLOR_WRITEMASK, m_colorMask);
    m_depthTest = glIsEnabled(GL_DEPTH_TEST);
    m_stencilTest = glIsEnabled(GL_STENCIL_TEST);
    m_cullFace = glIsEnabled(GL_CULL_FACE);
    m_blend = glIsEnabled(GL_BLEND);
    m_scissor = glIsEnabled(GL_SCISSOR_TEST);
    m_depthClamp = glIsEnabled(GL_DEPTH_CLAMP);
    m_clip0 = glIsEnabled(GL_CLIP_DISTANCE0);
}

GlStateGuard::~GlStateGuard()
{
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(m_drawFbo));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(m_readFbo));
    glUseProgram(GLuint(m_program));
    glBindVertexArray(GLuint(m_vao));
    glBindBuffer(GL_ARRAY_BUFFER, GLuint(m_arrayBuffer));
    glFrontFace(GLenum(m_frontFace));
    glViewport(m_viewport[0], m_viewport[1], m_viewport[2], m_viewport[3]);
    glScissor(m_scissorBox[0], m_scissorBox[1], m_scissorBox[2], m_scissorBox[3]);
    glPixelStorei(GL_PACK_ALIGNMENT, m_packAlignment);
    glColorMask(m_colorMask[0], m_colorMask[1], m_colorMask[2], m_colorMask[3]);
    setEnabled(GL_DEPTH_TEST, m_depthTest);
    setEnabled(GL_STENCIL_TEST, m_stencilTest);
    setEnabled(GL_CULL_FACE, m_cullFace);
    setEnabled(GL_BLEND, m_blend);
    setEnabled(GL_SCISSOR_TEST, m_scissor);
    setEnabled(GL_DEPTH_CLAMP, m_depthClamp);
    setEnabled(GL_CLIP_DISTANCE0, m_clip0);
}

QString glErrorText(GLenum e)
{
    switch (e) {
    case GL_INVALID_ENUM: return "invalid enum";
    case GL_INVALID_VALUE: return "invalid value";
    case GL_INVALID_OPERATION: return "invalid operation";
    case GL_INVALID_FRAMEBUFFER_OPERATION: return "invalid framebuffer operation";
    case GL_OUT_OF_MEMORY: return "out of graphics memory";
    default: return QString("GL error 0x%1").arg(e, 0, 16);
    }
}

void drainGlErrors()
{
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

GLuint createViewTexture(int edge)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, edge, edge, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}
