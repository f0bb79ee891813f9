#pragma once

#include <epoxy/gl.h>

#include <QString>

// Pieces the GPU cross-section renderers share.

// Saves the GL state a slicing pass changes and puts it back when it goes out of scope, so a
// pass can run in the middle of the 3D view's frame.
class GlStateGuard
{
public:
    GlStateGuard();
    ~GlStateGuard();
    GlStateGuard(const GlStateGuard &) = delete;
    GlStateGuard &operator=(const GlStateGuard &) = delete;

private:
    GLint m_drawFbo = 0, m_readFbo = 0, m_program = 0, m_vao = 0, m_arrayBuffer = 0, m_frontFace = GL_CCW;
    GLint m_viewport[4] = {0, 0, 0, 0};
    GLint m_scissorBox[4] = {0, 0, 0, 0};
    GLint m_packAlignment = 4;
    GLboolean m_colorMask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    GLboolean m_depthTest, m_stencilTest, m_cullFace, m_blend, m_scissor, m_depthClamp, m_clip0;
};

// A GL error code in words, for messages.
QString glErrorText(GLenum e);

// Clears errors left by earlier GL users, so a failure is blamed on the right call.
void drainGlErrors();

// An edge × edge RGBA texture with linear filtering and clamped edges: a render mode's view texture.
GLuint createViewTexture(int edge);
