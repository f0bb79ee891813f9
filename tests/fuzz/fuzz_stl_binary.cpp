// Binary STL: any bytes either fail with a reason or give a sound, welded mesh.
#include <QBuffer>

#include "scene/StlReader.h"
#include "support_fuzz.h"

FUZZ_QUIET_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QBuffer in;
    in.setData(reinterpret_cast<const char *>(data), int(size));
    in.open(QIODevice::ReadOnly);
    const MeshReadResult r = readBinaryStl(in);
    if (r.ok()) {
        checkMesh(r.mesh, true);
        // Every triangle the header announced was there.
        FUZZ_CHECK(size >= 84 + 50 * (r.mesh.indices.size() / 3));
    } else {
        FUZZ_CHECK(r.mesh.indices.empty());
    }
    return 0;
}
