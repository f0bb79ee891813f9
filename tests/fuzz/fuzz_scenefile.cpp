// The scene file parser: any text gives blocks without reading out of range, each block starts
// at a "#" line, and every support kept can make a sound record (one finite point per positive
// radius, at least two).
#include <cmath>

#include "scene/SceneFile.h"
#include "support_fuzz.h"

FUZZ_QUIET_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), int(size));
    const SceneDocument doc = parseSceneFile(text);
    FUZZ_CHECK(doc.blocks.size() <= text.count('#'));
    qint64 lastEnd = 0;
    for (const SceneFileBlock &b : doc.blocks) {
        FUZZ_CHECK(b.endOffset >= lastEnd && b.endOffset <= text.size());
        lastEnd = b.endOffset;
        if (b.kind == SceneFileBlock::Model) {
            const SceneFileModel &m = b.model;
            for (int a = 0; a < 3; ++a)
                FUZZ_CHECK(std::isfinite(m.move[a]) && std::isfinite(m.rotation[a]) && std::isfinite(m.scale[a]));
            FUZZ_CHECK(std::isfinite(m.opacity));
        }
        if (b.kind != SceneFileBlock::Support || b.skipped)
            continue;
        const SceneFileSupport &s = b.support;
        FUZZ_CHECK(s.points.size() == s.radii.size() && s.radii.size() >= 2);
        for (int k = 0; k < s.points.size(); ++k) {
            FUZZ_CHECK(std::isfinite(s.points[k].x()) && std::isfinite(s.points[k].y()) && std::isfinite(s.points[k].z()));
            FUZZ_CHECK(std::isfinite(s.radii[k]) && s.radii[k] > 0);
        }
    }
    return 0;
}
