#pragma once

#include <QString>
#include <QStringList>

class QMatrix4x4;
class QVector2D;
class QVector3D;
class QVector4D;

// A GLSL 150 program built from the Qt resources ":/gl/<name>.vert", ".geom" (optional)
// and ".frag" (optional: transform-feedback programs have none).
//
// Uses whatever GL context is current (the window's GL widget or a headless GlContext);
// every call needs that context current. The header carries no GL types, so it can be
// included next to Qt's GL headers; the implementation talks to GL through libepoxy.
class GlProgram
{
public:
    GlProgram() = default;
    ~GlProgram();   // deletes the GL program; the context it was made in must be current
    GlProgram(const GlProgram &) = delete;
    GlProgram &operator=(const GlProgram &) = delete;

    // Compiles the stages of `name` and links them. Transform-feedback varyings, when given,
    // are declared before linking (interleaved when `interleaved`, else one buffer each).
    // False with errorString() holding the compiler's or linker's log.
    bool build(const QString &name, const QStringList &feedbackVaryings = {}, bool interleaved = true);

    // Declares new transform-feedback varyings and links again (stages are kept).
    bool relink(const QStringList &feedbackVaryings, bool interleaved = true);

    bool isLinked() const { return m_linked; }
    unsigned int programId() const { return m_program; }
    const QString &name() const { return m_name; }
    // "slice.vert: 0:12(3): error: …" or "slice: link: …".
    const QString &errorString() const { return m_error; }

    void bind();
    void release();

    // -1 when the program has no such active uniform / attribute. Setters ignore unknown names.
    int uniformLocation(const char *name) const;
    int attributeLocation(const char *name) const;

    // Setters act on the bound program.
    void setUniform(const char *name, float v);
    void setUniform(const char *name, int v);
    void setUniform(const char *name, const QVector2D &v);
    void setUniform(const char *name, const QVector3D &v);
    void setUniform(const char *name, const QVector4D &v);
    void setUniform(const char *name, const QMatrix4x4 &m);

private:
    bool compileStage(unsigned int type, const QString &suffix, bool required);
    bool link(const QStringList &feedbackVaryings, bool interleaved);
    void destroy();

    QString m_name;
    QString m_error;
    unsigned int m_program = 0;
    bool m_linked = false;
};
