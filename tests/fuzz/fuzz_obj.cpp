// OBJ: any text either fails with a reason or gives a mesh whose every index names a vertex.
#include <QBuffer>

#include "scene/ObjReader.h"
#include "support_fuzz.h"

FUZZ_QUIET_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QBuffer in;
    in.setData(reinterpret_cast<const char *>(data), int(size));
    in.open(QIODevice::ReadOnly);
    const MeshReadResult r = readObj(in);
    if (r.ok()) {
        checkMesh(r.mesh, false);
        FUZZ_CHECK(r.quadCount >= 0 && std::size_t(r.quadCount) <= r.mesh.indices.size() / 6);
    } else {
        FUZZ_CHECK(r.mesh.indices.empty());
    }
    return 0;
}
