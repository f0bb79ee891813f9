#include <epoxy/gl.h>

#include "view/MeshBuffers.h"

#include "scene/Mesh.h"

#include <algorithm>

namespace {

struct PendingName
{
    GLuint name;
    unsigned generation;
};

// GUI thread only, like every GL object of the view.
std::vector<PendingName> &pendingNames()
{
    static std::vector<PendingName> names;
    return names;
}

// Contexts that are gone; their names need no deleting.
std::vector<unsigned> &deadGenerations()
{
    static std::vector<unsigned> dead;
    return dead;
}

GLuint upload(GLenum target, const void *data, std::size_t bytes)
{
    GLuint name = 0;
    glGenBuffers(1, &name);
    glBindBuffer(target, name);
    glBufferData(target, GLsizeiptr(bytes), bytes ? data : nullptr, GL_STATIC_DRAW);
    return name;
}

} // namespace

MeshBuffers::MeshBuffers(const Mesh &mesh, unsigned contextGeneration)
    : m_indexCount(mesh.indices.size()),
      m_vertexCount(mesh.vertexCount()),
      m_generation(contextGeneration),
      m_source(&mesh)
{
    // Reversed indices are derived when a reader left them out, so a mirrored object is
    // never drawn from a short buffer.
    std::vector<uint32_t> derived;
    const std::vector<uint32_t> *reversed = &mesh.reversedIndices;
    if (mesh.reversedIndices.size() != mesh.indices.size()) {
        derived = reverseWinding(mesh.indices);
        reversed = &derived;
    }
    // Indices that point past the vertex array would make the GPU read out of range.
    const uint32_t vertexCount = uint32_t(m_vertexCount);
    const bool inRange = std::all_of(mesh.indices.begin(), mesh.indices.end(),
                                     [vertexCount](uint32_t i) { return i < vertexCount; });
    if (!inRange)
        m_indexCount = 0;

    GLint previousArray = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &previousArray);
    m_vertexBuffer = upload(GL_ARRAY_BUFFER, mesh.vertices.data(), mesh.vertices.size() * sizeof(float));
    glBindBuffer(GL_ARRAY_BUFFER, GLuint(previousArray));
    // Element buffers are uploaded through the array target so the bound vertex array's
    // element binding is left alone.
    m_indexBuffer = upload(GL_ARRAY_BUFFER, mesh.indices.data(), m_indexCount * sizeof(uint32_t));
    m_reversedBuffer = upload(GL_ARRAY_BUFFER, reversed->data(), m_indexCount * sizeof(uint32_t));
    glBindBuffer(GL_ARRAY_BUFFER, GLuint(previousArray));
}

MeshBuffers::~MeshBuffers()
{
    const auto &dead = deadGenerations();
    if (std::find(dead.begin(), dead.end(), m_generation) != dead.end())
        return;
    auto &names = pendingNames();
    for (GLuint n : {m_vertexBuffer, m_indexBuffer, m_reversedBuffer})
        if (n)
            names.push_back({n, m_generation});
}

bool MeshBuffers::matches(const Mesh &mesh) const
{
    return m_source == &mesh && m_vertexCount == mesh.vertexCount()
           && (m_indexCount == mesh.indices.size() || m_indexCount == 0);
}

void MeshBuffers::draw(int attribLocation, bool flip, int indexLimit) const
{
    if (attribLocation < 0 || m_indexCount == 0)
        return;
    std::size_t count = m_indexCount;
    if (indexLimit >= 0)
        count = std::min(count, std::size_t(indexLimit));
    glBindBuffer(GL_ARRAY_BUFFER, m_vertexBuffer);
    glEnableVertexAttribArray(GLuint(attribLocation));
    glVertexAttribPointer(GLuint(attribLocation), 3, GL_FLOAT, GL_FALSE, 12, nullptr);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, flip ? m_reversedBuffer : m_indexBuffer);
    glDrawElements(GL_TRIANGLES, GLsizei(count), GL_UNSIGNED_INT, nullptr);
    glDisableVertexAttribArray(GLuint(attribLocation));
}

void MeshBuffers::releasePending(unsigned contextGeneration)
{
    auto &names = pendingNames();
    std::vector<GLuint> mine;
    auto keep = names.begin();
    for (auto it = names.begin(); it != names.end(); ++it) {
        if (it->generation == contextGeneration)
            mine.push_back(it->name);
        else
            *keep++ = *it;
    }
    names.erase(keep, names.end());
    if (!mine.empty())
        glDeleteBuffers(GLsizei(mine.size()), mine.data());
}

void MeshBuffers::forgetContext(unsigned contextGeneration)
{
    deadGenerations().push_back(contextGeneration);
    auto &names = pendingNames();
    names.erase(std::remove_if(names.begin(), names.end(),
                               [contextGeneration](const PendingName &p) {
                                   return p.generation == contextGeneration;
                               }),
                names.end());
}
