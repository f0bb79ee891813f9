#pragma once

#include <cstddef>
#include <vector>

struct Mesh;

// The GPU copy of a mesh: a vertex buffer (three floats per vertex, attribute
// "inVertex"), the index buffer and the reversed-winding index buffer.
//
// Made lazily by the renderer while its context is current. Objects hold it through a
// shared pointer and may drop it anywhere (the scene has no GL), so the destructor never
// calls GL: the names are queued and deleted by the renderer of the same context the next
// time that context is current.
class MeshBuffers
{
public:
    // Uploads the mesh. `contextGeneration` tells which context the names belong to.
    MeshBuffers(const Mesh &mesh, unsigned contextGeneration);
    ~MeshBuffers();
    MeshBuffers(const MeshBuffers &) = delete;
    MeshBuffers &operator=(const MeshBuffers &) = delete;

    // Binds the buffers to `attribLocation` and draws all triangles (or the first
    // `indexLimit` indices when >= 0). A mirrored object passes flip = true and is drawn
    // with the reversed winding, so its outside stays the front side.
    void draw(int attribLocation, bool flip, int indexLimit = -1) const;

    unsigned contextGeneration() const { return m_generation; }
    const Mesh *source() const { return m_source; }
    std::size_t indexCount() const { return m_indexCount; }
    std::size_t vertexCount() const { return m_vertexCount; }
    // True while the buffers still describe `mesh` (same mesh and same sizes).
    bool matches(const Mesh &mesh) const;

    // Deletes the queued names of this context; the renderer calls it with its context
    // current.
    static void releasePending(unsigned contextGeneration);
    // Drops the queued names of a context that is gone (its names died with it).
    static void forgetContext(unsigned contextGeneration);

private:
    unsigned m_vertexBuffer = 0;
    unsigned m_indexBuffer = 0;
    unsigned m_reversedBuffer = 0;
    std::size_t m_indexCount = 0;
    std::size_t m_vertexCount = 0;
    unsigned m_generation = 0;
    const Mesh *m_source = nullptr;
};
