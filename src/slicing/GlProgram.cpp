#include <epoxy/gl.h>

#include "slicing/GlProgram.h"

#include <QByteArray>
#include <QFile>
#include <QMatrix4x4>
#include <QVector2D>
#include <QVector3D>
#include <QVector4D>
#include <vector>

namespace {

QString shaderLog(GLuint shader)
{
    GLint len = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &len);
    if (len <= 1)
        return QString();
    QByteArray log(len, '\0');
    glGetShaderInfoLog(shader, len, nullptr, log.data());
    return QString::fromLocal8Bit(log.constData()).trimmed();
}

QString programLog(GLuint program)
{
    GLint len = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &len);
    if (len <= 1)
        return QString();
    QByteArray log(len, '\0');
    glGetProgramInfoLog(program, len, nullptr, log.data());
    return QString::fromLocal8Bit(log.constData()).trimmed();
}

} // namespace

GlProgram::~GlProgram()
{
    destroy();
}

void GlProgram::destroy()
{
    if (m_program)
        glDeleteProgram(m_program);   // attached shaders were flagged for deletion already
    m_program = 0;
    m_linked = false;
}

bool GlProgram::compileStage(unsigned int type, const QString &suffix, bool required)
{
    const QString path = ":/gl/" + m_name + suffix;
    QFile file(path);
    if (!file.exists()) {
        if (required)
            m_error = m_name + suffix + ": shader source missing (" + path + ")";
        return !required;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = m_name + suffix + ": cannot read " + path;
        return false;
    }
    const QByteArray source = file.readAll();
    const GLuint shader = glCreateShader(type);
    const char *text = source.constData();
    const GLint length = GLint(source.size());
    glShaderSource(shader, 1, &text, &length);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        m_error = m_name + suffix + ": " + shaderLog(shader);
        glDeleteShader(shader);
        return false;
    }
    glAttachShader(m_program, shader);
    glDeleteShader(shader);   // stays alive while attached
    return true;
}

bool GlProgram::build(const QString &name, const QStringList &feedbackVaryings, bool interleaved)
{
    destroy();
    m_name = name;
    m_error.clear();
    m_program = glCreateProgram();
    if (!m_program) {
        m_error = name + ": no GL program object (is a context current?)";
        return false;
    }
    const bool ok = compileStage(GL_VERTEX_SHADER, ".vert", true)
                    && compileStage(GL_GEOMETRY_SHADER, ".geom", false)
                    && compileStage(GL_FRAGMENT_SHADER, ".frag", false);
    if (!ok) {
        destroy();
        return false;
    }
    return link(feedbackVaryings, interleaved);
}

bool GlProgram::relink(const QStringList &feedbackVaryings, bool interleaved)
{
    if (!m_program) {
        m_error = m_name + ": relink before build";
        return false;
    }
    return link(feedbackVaryings, interleaved);
}

bool GlProgram::link(const QStringList &feedbackVaryings, bool interleaved)
{
    std::vector<QByteArray> names;
    std::vector<const char *> pointers;
    for (const QString &v : feedbackVaryings)
        names.push_back(v.toLatin1());
    for (const QByteArray &n : names)
        pointers.push_back(n.constData());
    // An empty list clears earlier varyings, so relinking without feedback is possible.
    glTransformFeedbackVaryings(m_program, GLsizei(pointers.size()), pointers.empty() ? nullptr : pointers.data(),
                                interleaved ? GL_INTERLEAVED_ATTRIBS : GL_SEPARATE_ATTRIBS);
    glLinkProgram(m_program);
    GLint ok = GL_FALSE;
    glGetProgramiv(m_program, GL_LINK_STATUS, &ok);
    m_linked = ok == GL_TRUE;
    if (!m_linked)
        m_error = m_name + ": link: " + programLog(m_program);
    return m_linked;
}

void GlProgram::bind()
{
    glUseProgram(m_linked ? m_program : 0);
}

void GlProgram::release()
{
    glUseProgram(0);
}

int GlProgram::uniformLocation(const char *name) const
{
    return m_linked ? glGetUniformLocation(m_program, name) : -1;
}

int GlProgram::attributeLocation(const char *name) const
{
    return m_linked ? glGetAttribLocation(m_program, name) : -1;
}

void GlProgram::setUniform(const char *name, float v)
{
    const int loc = uniformLocation(name);
    if (loc >= 0)
        glUniform1f(loc, v);
}

void GlProgram::setUniform(const char *name, int v)
{
    const int loc = uniformLocation(name);
    if (loc >= 0)
        glUniform1i(loc, v);
}

void GlProgram::setUniform(const char *name, const QVector2D &v)
{
    const int loc = uniformLocation(name);
    if (loc >= 0)
        glUniform2f(loc, v.x(), v.y());
}

void GlProgram::setUniform(const char *name, const QVector3D &v)
{
    const int loc = uniformLocation(name);
    if (loc >= 0)
        glUniform3f(loc, v.x(), v.y(), v.z());
}

void GlProgram::setUniform(const char *name, const QVector4D &v)
{
    const int loc = uniformLocation(name);
    if (loc >= 0)
        glUniform4f(loc, v.x(), v.y(), v.z(), v.w());
}

void GlProgram::setUniform(const char *name, const QMatrix4x4 &m)
{
    const int loc = uniformLocation(name);
    if (loc >= 0)
        glUniformMatrix4fv(loc, 1, GL_FALSE, m.constData());   // QMatrix4x4 stores column-major
}
