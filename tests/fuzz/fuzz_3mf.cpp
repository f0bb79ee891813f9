// 3MF: the same bytes as a whole archive, as a bare model part and as a ZIP directory. A read
// either fails with a reason or gives meshes (one per colour) whose triangles name existing
// vertices at finite coordinates; an unpacked ZIP entry has the declared size and checksum.
#include <QStringList>

#include "scene/ThreeMfReader.h"
#include "scene/ZipReader.h"
#include "support_fuzz.h"

FUZZ_QUIET_INITIALIZE

namespace {

// Bitwise CRC-32 (the ZIP polynomial), kept apart from the zlib one the reader uses.
quint32 crc32Of(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char ch : data) {
        crc ^= uchar(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void checkModel(const ThreeMfModel &m)
{
    if (!m.ok()) {
        FUZZ_CHECK(m.meshes.isEmpty());
        return;
    }
    FUZZ_CHECK(!m.meshes.isEmpty());
    FUZZ_CHECK(m.meshes.size() == m.colors.size());
    qint64 triangles = 0;
    for (const Mesh &mesh : m.meshes) {
        checkMesh(mesh, false);
        triangles += qint64(mesh.indices.size() / 3);
    }
    FUZZ_CHECK(triangles == m.placedTriangles);
    // One mesh per colour: no colour twice.
    QStringList colors = m.colors;
    FUZZ_CHECK(colors.removeDuplicates() == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));

    checkModel(parse3mfModel(bytes));

    QStringList debug;
    checkModel(read3mfArchive(bytes, QStringLiteral("fuzz.3mf"), &debug));

    const ZipDirectory dir = readZipDirectory(bytes);
    if (!dir.ok()) {
        FUZZ_CHECK(dir.entries.isEmpty());
        return 0;
    }
    const qint64 limit = 1 << 20;
    int tried = 0;
    for (const ZipEntry &e : dir.entries) {
        if (++tried > 16)
            break;
        FUZZ_CHECK(dir.find(e.name) != nullptr);
        QByteArray out;
        QString error;
        if (readZipEntry(bytes, e, limit, &out, &error)) {
            FUZZ_CHECK(quint64(out.size()) == e.size);
            FUZZ_CHECK(out.size() <= limit);
            FUZZ_CHECK(crc32Of(out) == e.crc32);
            // Stored content sits in the archive as it is.
            if (e.method == 0)
                FUZZ_CHECK(bytes.contains(out));
        } else {
            FUZZ_CHECK(!error.isEmpty());
        }
    }
    return 0;
}
