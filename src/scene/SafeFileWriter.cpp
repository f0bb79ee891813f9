#include "scene/SafeFileWriter.h"

#include <cerrno>
#include <cstring>

namespace {
constexpr int kBufferBytes = 1 << 20;
}

SafeFileWriter::~SafeFileWriter()
{
    if (m_file.isOpen())
        m_file.cancelWriting();
}

bool SafeFileWriter::fail(const QString &why)
{
    if (!m_failed)
        m_error = why.isEmpty() ? QStringLiteral("The file cannot be written.") : why;
    m_failed = true;
    m_file.cancelWriting();
    return false;
}

bool SafeFileWriter::open()
{
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(m_file.errorString());
    m_buffer.reserve(kBufferBytes);
    return true;
}

bool SafeFileWriter::flush()
{
    const char *p = m_buffer.constData();
    qint64 left = m_buffer.size();
    while (left > 0) {
        errno = 0;
        const qint64 n = m_file.write(p, left);
        if (n <= 0) {
            const int code = errno;
            return fail(code != 0 ? QString::fromLocal8Bit(std::strerror(code)) : m_file.errorString());
        }
        p += n;
        left -= n;
    }
    m_buffer.clear();
    return true;
}

bool SafeFileWriter::write(const char *data, qint64 size)
{
    if (m_failed || !m_file.isOpen())
        return false;
    if (m_buffer.size() + size > kBufferBytes && !flush())
        return false;
    if (size >= kBufferBytes) {
        m_buffer = QByteArray(data, int(size));
        return flush();
    }
    m_buffer.append(data, int(size));
    return true;
}

bool SafeFileWriter::commit()
{
    if (m_failed || !m_file.isOpen())
        return false;
    if (!flush())
        return false;
    if (!m_file.commit())
        return fail(m_file.errorString());
    return true;
}
