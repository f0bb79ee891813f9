#pragma once

// Shared by the fuzz targets: a check that stops the run with a message (libFuzzer then saves
// the input), and silence for the readers' log lines.

#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                   \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (0)

inline void silenceQtMessages()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}

#define FUZZ_QUIET_INITIALIZE                                          \
    extern "C" int LLVMFuzzerInitialize(int *, char ***)               \
    {                                                                  \
        silenceQtMessages();                                           \
        return 0;                                                      \
    }

#include <cmath>
#include <cstring>

#include "scene/Mesh.h"

// What every mesh a reader hands out must satisfy: whole triangles, every index names a
// vertex, finite coordinates, the reversed list is the list with two corners swapped. A
// welded mesh also has distinct vertices, sorted by x, then y, then z.
inline void checkMesh(const Mesh &m, bool welded)
{
    FUZZ_CHECK(m.vertices.size() % 3 == 0);
    FUZZ_CHECK(m.indices.size() % 3 == 0);
    FUZZ_CHECK(!m.indices.empty());
    FUZZ_CHECK(m.reversedIndices.size() == m.indices.size());
    const std::size_t n = m.vertexCount();
    for (std::size_t i = 0; i < m.indices.size(); i += 3) {
        FUZZ_CHECK(m.indices[i] < n && m.indices[i + 1] < n && m.indices[i + 2] < n);
        FUZZ_CHECK(m.reversedIndices[i] == m.indices[i] && m.reversedIndices[i + 1] == m.indices[i + 2]
                   && m.reversedIndices[i + 2] == m.indices[i + 1]);
    }
    for (float c : m.vertices)
        FUZZ_CHECK(std::isfinite(c));
    if (welded) {
        for (std::size_t v = 1; v < n; ++v) {
            const float *a = &m.vertices[3 * (v - 1)];
            const float *b = &m.vertices[3 * v];
            FUZZ_CHECK(a[0] < b[0] || (a[0] == b[0] && (a[1] < b[1] || (a[1] == b[1] && a[2] < b[2]))));
        }
    }
}

inline bool sameMesh(const Mesh &a, const Mesh &b)
{
    return a.indices == b.indices && a.vertices.size() == b.vertices.size()
           && std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * sizeof(float)) == 0;
}
