// ASCII STL: any text either fails with a reason or gives a sound, welded mesh, and the same
// one however the bytes arrive (a pipe hands them out a few at a time).
#include <QBuffer>
#include <algorithm>

#include "scene/StlReader.h"
#include "support_fuzz.h"

FUZZ_QUIET_INITIALIZE

namespace {

class Trickle : public QIODevice
{
public:
    Trickle(const char *data, qint64 size, int piece) : m_data(data), m_size(size), m_piece(piece)
    {
        open(ReadOnly | Unbuffered);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *out, qint64 max) override
    {
        const qint64 n = std::min({max, qint64(m_piece), m_size - m_pos});
        std::memcpy(out, m_data + m_pos, size_t(n));
        m_pos += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    const char *m_data;
    qint64 m_size;
    int m_piece;
    qint64 m_pos = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QBuffer in;
    in.setData(reinterpret_cast<const char *>(data), int(size));
    in.open(QIODevice::ReadOnly);
    const MeshReadResult whole = readAsciiStl(in);
    if (whole.ok())
        checkMesh(whole.mesh, true);
    else
        FUZZ_CHECK(whole.mesh.indices.empty());

    const int piece = size > 0 ? 1 + data[0] % 13 : 1;
    Trickle trickle(reinterpret_cast<const char *>(data), qint64(size), piece);
    const MeshReadResult pieces = readAsciiStl(trickle);
    FUZZ_CHECK(pieces.ok() == whole.ok());
    if (whole.ok())
        FUZZ_CHECK(sameMesh(pieces.mesh, whole.mesh));
    return 0;
}
