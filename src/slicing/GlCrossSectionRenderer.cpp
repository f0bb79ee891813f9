#include <epoxy/gl.h>

#include "slicing/GlCrossSectionRenderer.h"

#include <QDebug>
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "scene/Object.h"
#include "slicing/GlProgram.h"
#include "slicing/GlState.h"

namespace {

// The triangles of one placed mesh ordered by their lowest point: a cut only needs the
// triangles that reach below it, which are then a prefix of this order.
struct LowestFirstOrder
{
    QMatrix4x4 matrix;          // normalised model matrix it was made for
    bool flip = false;
    GLuint ebo = 0;
    std::vector<float> lowestZ; // ascending, normalised units, one per triangle
};

// One mesh on the GPU. The shared pointer keeps the mesh alive, so its address cannot be
// reused by another mesh while the entry exists.
struct GpuMesh
{
    std::shared_ptr<const Mesh> mesh;
    const float *vertexData = nullptr;   // detects a mesh whose arrays were replaced
    std::size_t vertexFloats = 0;
    std::size_t indexCount = 0;
    GLuint vao = 0;
    GLuint vbo = 0;
    GLuint ebo = 0;
    GLuint reversedEbo = 0;
    std::vector<LowestFirstOrder> orders;   // one per placement (duplicates share the mesh)

    void destroy()
    {
        if (vao)
            glDeleteVertexArrays(1, &vao);
        GLuint buffers[3] = {vbo, ebo, reversedEbo};
        glDeleteBuffers(3, buffers);
        vao = vbo = ebo = reversedEbo = 0;
        for (LowestFirstOrder &o : orders)
            glDeleteBuffers(1, &o.ebo);
        orders.clear();
    }
};

} // namespace

struct GlCrossSectionRenderer::Private
{
    SliceParameters params;
    bool configured = false;
    int edge = 0;

    GlProgram sliceProgram;
    GlProgram outlineProgram;
    GlProgram normalProgram;

    GLuint textures[3] = {0, 0, 0};
    GLuint fbo = 0;
    GLuint depthStencil = 0;
    GLuint outlineBuffer = 0;
    GLuint feedbackFbo = 0;       // 1 × 1 target for feedback passes in a context without a window
    GLuint feedbackColor = 0;

    std::unordered_map<const Mesh *, GpuMesh> meshes;
    Timings timings;

    GpuMesh *gpuMesh(const std::shared_ptr<const Mesh> &mesh)
    {
        auto it = meshes.find(mesh.get());
        if (it != meshes.end()) {
            GpuMesh &g = it->second;
            if (g.vertexData == mesh->vertices.data() && g.vertexFloats == mesh->vertices.size()
                && g.indexCount == mesh->indices.size())
                return &g;
            g.destroy();
            meshes.erase(it);
        }
        GpuMesh g;
        g.mesh = mesh;
        g.vertexData = mesh->vertices.data();
        g.vertexFloats = mesh->vertices.size();
        g.indexCount = mesh->indices.size();
        glGenVertexArrays(1, &g.vao);
        glBindVertexArray(g.vao);
        glGenBuffers(1, &g.vbo);
        glBindBuffer(GL_ARRAY_BUFFER, g.vbo);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(mesh->vertices.size() * sizeof(float)), mesh->vertices.data(),
                     GL_STATIC_DRAW);
        glGenBuffers(1, &g.ebo);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.ebo);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(mesh->indices.size() * sizeof(uint32_t)),
                     mesh->indices.data(), GL_STATIC_DRAW);
        glBindVertexArray(0);
        return &(meshes[mesh.get()] = std::move(g));
    }

    // The reversed-winding index buffer is made on first use; most objects are never mirrored.
    GLuint reversedIndexBuffer(GpuMesh &g)
    {
        if (!g.reversedEbo) {
            const Mesh &m = *g.mesh;
            std::vector<uint32_t> computed;
            const std::vector<uint32_t> *rev = &m.reversedIndices;
            if (m.reversedIndices.size() != m.indices.size()) {
                computed = reverseWinding(m.indices);
                rev = &computed;
            }
            glGenBuffers(1, &g.reversedEbo);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.reversedEbo);
            glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(rev->size() * sizeof(uint32_t)), rev->data(),
                         GL_STATIC_DRAW);
        }
        return g.reversedEbo;
    }

    // Frees meshes that only this cache still holds (their objects are gone).
    void pruneMeshes()
    {
        for (auto it = meshes.begin(); it != meshes.end();) {
            if (it->second.mesh.use_count() == 1) {
                it->second.destroy();
                it = meshes.erase(it);
            } else {
                ++it;
            }
        }
    }

    QMatrix4x4 modelMatrix(const SliceObject &obj) const
    {
        QMatrix4x4 m;
        m.scale(params.sceneScale());
        return m * obj.matrix;
    }

    LowestFirstOrder &lowestFirst(GpuMesh &g, const QMatrix4x4 &m, bool flip)
    {
        for (LowestFirstOrder &o : g.orders) {
            if (o.flip == flip && o.matrix == m)
                return o;
        }
        constexpr std::size_t maxOrders = 16;
        if (g.orders.size() >= maxOrders) {
            glDeleteBuffers(1, &g.orders.front().ebo);
            g.orders.erase(g.orders.begin());
        }
        const Mesh &mesh = *g.mesh;
        const float *c = m.constData();   // column-major: z = c[2]x + c[6]y + c[10]z + c[14]
        const std::size_t vertexCount = mesh.vertexCount();
        std::vector<float> z(vertexCount);
        for (std::size_t k = 0; k < vertexCount; ++k) {
            const float *v = &mesh.vertices[3 * k];
            z[k] = c[2] * v[0] + c[6] * v[1] + c[10] * v[2] + c[14];
        }
        const std::vector<uint32_t> &src = mesh.indices;
        const std::size_t triangles = src.size() / 3;
        std::vector<std::pair<float, uint32_t>> keyed(triangles);
        for (std::size_t t = 0; t < triangles; ++t) {
            float lo = std::numeric_limits<float>::max();
            for (int k = 0; k < 3; ++k) {
                const uint32_t i = src[3 * t + k];
                lo = std::min(lo, i < vertexCount ? z[i] : lo);   // bad indices are left to the GPU, as elsewhere
            }
            keyed[t] = {lo, uint32_t(t)};
        }
        std::sort(keyed.begin(), keyed.end());
        LowestFirstOrder o;
        o.matrix = m;
        o.flip = flip;
        o.lowestZ.resize(triangles);
        std::vector<uint32_t> sorted(triangles * 3);
        for (std::size_t t = 0; t < triangles; ++t) {
            const uint32_t *tri = &src[3 * std::size_t(keyed[t].second)];
            o.lowestZ[t] = keyed[t].first;
            sorted[3 * t] = tri[0];
            sorted[3 * t + 1] = flip ? tri[2] : tri[1];   // mirrored placements keep their outward winding
            sorted[3 * t + 2] = flip ? tri[1] : tri[2];
        }
        glGenBuffers(1, &o.ebo);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, o.ebo);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(sorted.size() * sizeof(uint32_t)), sorted.data(),
                     GL_STATIC_DRAW);
        g.orders.push_back(std::move(o));
        return g.orders.back();
    }

    // Draws the first `count` indices of the object with the bound program. With a cut
    // height (normalised units), a whole mesh is drawn only as far as its triangles reach
    // below the cut: the others would be clipped away entirely.
    void draw(GlProgram &program, const SliceObject &obj, std::size_t count,
              float cutZ = std::numeric_limits<float>::infinity())
    {
        if (count == 0 || obj.mesh->vertices.empty())
            return;
        GpuMesh *g = gpuMesh(obj.mesh);
        glBindVertexArray(g->vao);
        const GLint loc = program.attributeLocation("inVertex");
        if (loc < 0)
            return;
        glBindBuffer(GL_ARRAY_BUFFER, g->vbo);
        glVertexAttribPointer(GLuint(loc), 3, GL_FLOAT, GL_FALSE, 12, nullptr);
        glEnableVertexAttribArray(GLuint(loc));
        const QMatrix4x4 m = modelMatrix(obj);
        if (std::isfinite(cutZ) && count == g->indexCount - g->indexCount % 3) {
            const LowestFirstOrder &o = lowestFirst(*g, m, drawnReversed(obj));
            // A small margin above the cut: the vertex stage clips 1e-6 below it.
            const auto end = std::upper_bound(o.lowestZ.begin(), o.lowestZ.end(), cutZ + 1e-5f);
            count = std::size_t(end - o.lowestZ.begin()) * 3;
            if (count == 0)
                return;
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, o.ebo);
        } else {
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, drawnReversed(obj) ? reversedIndexBuffer(*g) : g->ebo);
        }
        program.setUniform("modelMatrix", m);
        glDrawElements(GL_TRIANGLES, GLsizei(count), GL_UNSIGNED_INT, nullptr);
    }

    bool ensureProgram(GlProgram &p, const char *name, const QStringList &varyings, QString *error)
    {
        if (p.isLinked())
            return true;
        if (!p.build(name, varyings)) {
            if (error)
                *error = "The slicing shaders cannot be built: " + p.errorString();
            return false;
        }
        return true;
    }

    GLuint ensureTexture(int mode)
    {
        if (!textures[mode])
            textures[mode] = createViewTexture(edge);
        return textures[mode];
    }

    void releaseTargets()
    {
        glDeleteTextures(3, textures);
        std::fill(std::begin(textures), std::end(textures), 0u);
        releaseRunBuffers();
    }

    void releaseRunBuffers()
    {
        if (fbo)
            glDeleteFramebuffers(1, &fbo);
        if (depthStencil)
            glDeleteRenderbuffers(1, &depthStencil);
        if (outlineBuffer)
            glDeleteBuffers(1, &outlineBuffer);
        fbo = depthStencil = outlineBuffer = 0;
    }

    // Draw calls need a complete framebuffer even with rasterising switched off; a headless
    // context has none of its own.
    void ensureDrawableFramebuffer()
    {
        if (glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE)
            return;
        if (!feedbackFbo) {
            glGenRenderbuffers(1, &feedbackColor);
            glBindRenderbuffer(GL_RENDERBUFFER, feedbackColor);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 1, 1);
            glBindRenderbuffer(GL_RENDERBUFFER, 0);
            glGenFramebuffers(1, &feedbackFbo);
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, feedbackFbo);
            glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, feedbackColor);
        }
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, feedbackFbo);
    }

    void releaseAll()
    {
        releaseTargets();
        if (feedbackFbo)
            glDeleteFramebuffers(1, &feedbackFbo);
        if (feedbackColor)
            glDeleteRenderbuffers(1, &feedbackColor);
        feedbackFbo = feedbackColor = 0;
        for (auto &entry : meshes)
            entry.second.destroy();
        meshes.clear();
    }
};

GlCrossSectionRenderer::GlCrossSectionRenderer() : d(new Private) {}

GlCrossSectionRenderer::~GlCrossSectionRenderer()
{
    d->releaseAll();
}

int GlCrossSectionRenderer::maxFramebufferEdge()
{
    GLint rb = 0, tex = 0, vp[2] = {0, 0};
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &rb);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &tex);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, vp);
    return std::min({rb, tex, vp[0], vp[1]});
}

bool GlCrossSectionRenderer::configure(const SliceParameters &params, QString *error)
{
    d->configured = false;
    const QString bad = params.check();
    if (!bad.isEmpty()) {
        if (error)
            *error = bad;
        return false;
    }
    const int edge = params.framebufferEdge();
    const int limit = maxFramebufferEdge();
    if (edge > limit) {
        if (error)
            *error = QString("The projector size %1 × %2 needs a %3 × %3 pixel slicing framebuffer, but this "
                             "graphics driver allows at most %4 pixels. Choose a smaller projector size.")
                         .arg(params.projectorWidthPx)
                         .arg(params.projectorHeightPx)
                         .arg(edge)
                         .arg(limit);
        return false;
    }
    if (edge != d->edge)
        d->releaseTargets();
    d->params = params;
    d->edge = edge;
    d->configured = true;
    return true;
}

const SliceParameters &GlCrossSectionRenderer::parameters() const
{
    return d->params;
}

unsigned int GlCrossSectionRenderer::textureId(int mode) const
{
    return mode >= 0 && mode < 3 ? d->textures[mode] : 0u;
}

CrossSectionRenderer::Timings GlCrossSectionRenderer::timings() const
{
    return d->timings;
}

void GlCrossSectionRenderer::endRun()
{
    d->releaseRunBuffers();
}

void GlCrossSectionRenderer::releaseGpuResources()
{
    d->releaseAll();
}

bool GlCrossSectionRenderer::render(const std::vector<SliceObject> &objects, float cutZ, int mode,
                                    const RenderFlags &flags, cv::Mat *image, QString *error)
{
    if (image)
        *image = cv::Mat();
    if (!d->configured) {
        if (error)
            *error = "The slicer has no projector size.";
        return false;
    }
    if (mode < 0 || mode > 2) {
        if (error)
            *error = QString("Unknown render mode %1.").arg(mode);
        return false;
    }
    if (!d->ensureProgram(d->sliceProgram, "slice", {}, error))
        return false;
    d->pruneMeshes();

    std::vector<const SliceObject *> drawn;
    for (const SliceObject &o : objects) {
        if (isDrawnInMode(o, mode, flags))
            drawn.push_back(&o);
    }

    drainGlErrors();
    QElapsedTimer clock;
    clock.start();
    GlStateGuard saved;
    const int E = d->edge;
    d->sliceProgram.bind();
    glEnable(GL_STENCIL_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);   // back faces are what the count is made of
    glDisable(GL_BLEND);
    glDisable(GL_SCISSOR_TEST);
    // Geometry far below the cut must stay in the count: no near/far clipping, the cut
    // itself is the clip distance of the vertex stage.
    glEnable(GL_DEPTH_CLAMP);
    glEnable(GL_CLIP_DISTANCE0);
    glViewport(0, 0, E, E);

    const GLuint tex = d->ensureTexture(mode);
    if (!d->fbo) {
        glGenFramebuffers(1, &d->fbo);
        glGenRenderbuffers(1, &d->depthStencil);
        glBindRenderbuffer(GL_RENDERBUFFER, d->depthStencil);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, E, E);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, d->fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, d->depthStencil);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        d->sliceProgram.release();
        const GLenum err = glGetError();
        d->releaseTargets();
        if (error)
            *error = QString("The slicing framebuffer (%1 × %1) cannot be made: %2.")
                         .arg(E)
                         .arg(err != GL_NO_ERROR ? glErrorText(err) : QString("status 0x%1").arg(status, 0, 16));
        return false;
    }

    // Only the centred projector-size region is read back; limiting clears and fragments to it
    // saves more than half of the pixel work and leaves the image the same.
    const int w = d->params.projectorWidthPx;
    const int h = d->params.projectorHeightPx;
    const int x0 = (E - w) / 2;
    const int y0 = (E - h) / 2;
    if (flags.readBack) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(x0, y0, w, h);
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glStencilMask(0xFF);
    glClearColor(0, 0, 0, 0);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

    d->sliceProgram.setUniform("cutZ", cutZ);
    d->sliceProgram.setUniform("scale_x", float(d->params.sliceScaleXPct / 100.0));
    // The y factor also carries the stretch that gives rows their own pixel size.
    d->sliceProgram.setUniform("scale_y", float((1.0 + d->params.sliceScaleYPct / 100.0) * d->params.yStretch() - 1.0));

    // Count passes write no colour: the colour is cleared before the third draw anyway.
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glStencilFunc(GL_ALWAYS, 0, 0xFF);
    glStencilOpSeparate(GL_BACK, GL_KEEP, GL_KEEP, GL_INCR);
    glStencilOpSeparate(GL_FRONT, GL_KEEP, GL_KEEP, GL_KEEP);
    for (const SliceObject *o : drawn)
        d->draw(d->sliceProgram, *o, drawnIndexCount(*o, flags), cutZ);

    glStencilOpSeparate(GL_BACK, GL_KEEP, GL_KEEP, GL_KEEP);
    glStencilOpSeparate(GL_FRONT, GL_KEEP, GL_KEEP, GL_DECR);
    for (const SliceObject *o : drawn)
        d->draw(d->sliceProgram, *o, drawnIndexCount(*o, flags), cutZ);

    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glStencilFunc(GL_NOTEQUAL, 0, 0xFF);
    for (const SliceObject *o : drawn)
        d->draw(d->sliceProgram, *o, drawnIndexCount(*o, flags), cutZ);

    // Finishing here lets the timings tell drawing from reading back; the read-back would
    // wait for the draws anyway.
    glFinish();
    d->timings.drawMs += double(clock.nsecsElapsed()) / 1e6;
    clock.restart();

    bool ok = true;
    if (flags.readBack && image) {
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        const int stride = (w + 3) & ~3;
        if (stride == w) {
            cv::Mat img(h, w, CV_8UC1);
            glReadPixels(x0, y0, w, h, GL_RED, GL_UNSIGNED_BYTE, img.data);
            *image = img;
        } else {
            cv::Mat padded(h, stride, CV_8UC1);
            glReadPixels(x0, y0, w, h, GL_RED, GL_UNSIGNED_BYTE, padded.data);
            *image = padded.colRange(0, w).clone();
        }
    }
    d->timings.readBackMs += double(clock.nsecsElapsed()) / 1e6;
    const GLenum err = glGetError();
    if (err != GL_NO_ERROR) {
        ok = false;
        if (image)
            *image = cv::Mat();
        if (error)
            *error = "The cross-section could not be rendered: " + glErrorText(err) + ".";
    }

    return ok;   // the saved state puts framebuffer, program and switches back
}

std::vector<float> GlCrossSectionRenderer::outline(const std::vector<SliceObject> &objects, float heightMm)
{
    std::vector<float> result;
    if (!d->configured || !d->ensureProgram(d->outlineProgram, "intersection2", {"CustomPoint"}, nullptr)) {
        if (!d->outlineProgram.errorString().isEmpty())
            qWarning("%s", qPrintable(d->outlineProgram.errorString()));
        return result;
    }
    d->pruneMeshes();
    const float scale = d->params.sceneScale();
    GlStateGuard saved;
    d->ensureDrawableFramebuffer();
    d->outlineProgram.bind();
    d->outlineProgram.setUniform("p0", std::max(heightMm * scale, 0.00001f));
    d->outlineProgram.setUniform("scale_x", float(1.0 + d->params.sliceScaleXPct / 100.0));
    d->outlineProgram.setUniform("scale_y", float(1.0 + d->params.sliceScaleYPct / 100.0));
    d->outlineProgram.setUniform("pFactor", 3.0f);

    const GLsizeiptr bytes = GLsizeiptr(maxOutlineSegments * 2 * 3 * sizeof(float));
    if (!d->outlineBuffer) {
        glGenBuffers(1, &d->outlineBuffer);
        glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, d->outlineBuffer);
        glBufferData(GL_TRANSFORM_FEEDBACK_BUFFER, bytes, nullptr, GL_STATIC_READ);
    }
    GLuint queries[2];
    glGenQueries(2, queries);
    glEnable(GL_RASTERIZER_DISCARD);
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, d->outlineBuffer);
    glBeginQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN, queries[0]);
    glBeginQuery(GL_PRIMITIVES_GENERATED, queries[1]);
    glBeginTransformFeedback(GL_POINTS);
    const RenderFlags all;
    for (const SliceObject &o : objects) {
        if (o.type == TypeModel && o.isShow && o.mesh)
            d->draw(d->outlineProgram, o, drawnIndexCount(o, all));
    }
    glEndTransformFeedback();
    glEndQuery(GL_PRIMITIVES_GENERATED);
    glEndQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN);
    glDisable(GL_RASTERIZER_DISCARD);
    GLuint written = 0, generated = 0;
    glGetQueryObjectuiv(queries[0], GL_QUERY_RESULT, &written);
    glGetQueryObjectuiv(queries[1], GL_QUERY_RESULT, &generated);
    glDeleteQueries(2, queries);

    const std::size_t segments = std::min<std::size_t>(written / 2, maxOutlineSegments);
    if (generated / 2 > maxOutlineSegments)
        qDebug("Insufficient array assignment. Some subpixel will be ignored.");
    result.resize(segments * 6);
    if (segments) {
        glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, d->outlineBuffer);
        glGetBufferSubData(GL_TRANSFORM_FEEDBACK_BUFFER, 0, GLsizeiptr(result.size() * sizeof(float)), result.data());
    }
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, 0);
    glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, 0);
    d->outlineProgram.release();
    for (float &v : result)
        v /= scale;
    return result;
}

NormalRange GlCrossSectionRenderer::sampleNormals(const std::vector<SliceObject> &objects, float cutZ)
{
    NormalRange range;
    if (!d->configured || !d->ensureProgram(d->normalProgram, "normal", {"dotP"}, nullptr)) {
        if (!d->normalProgram.errorString().isEmpty())
            qWarning("%s", qPrintable(d->normalProgram.errorString()));
        return range;
    }
    d->pruneMeshes();
    GlStateGuard saved;
    d->ensureDrawableFramebuffer();
    d->normalProgram.bind();
    d->normalProgram.setUniform("zPos", cutZ);
    d->normalProgram.setUniform("pFactor", 3.0f);

    GLuint buffer = 0, query = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, buffer);
    glBufferData(GL_TRANSFORM_FEEDBACK_BUFFER, GLsizeiptr(maxNormalSamples * sizeof(float)), nullptr, GL_STATIC_READ);
    glGenQueries(1, &query);
    glEnable(GL_RASTERIZER_DISCARD);
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, buffer);
    glBeginQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN, query);
    glBeginTransformFeedback(GL_POINTS);
    const RenderFlags all;
    for (const SliceObject &o : objects) {
        if (o.type != TypeBuildPlate && o.isShow && o.mesh)
            d->draw(d->normalProgram, o, drawnIndexCount(o, all));
    }
    glEndTransformFeedback();
    glEndQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN);
    glDisable(GL_RASTERIZER_DISCARD);
    GLuint written = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &written);
    const std::size_t count = std::min<std::size_t>(written, maxNormalSamples);
    if (count) {
        std::vector<float> samples(count);
        glGetBufferSubData(GL_TRANSFORM_FEEDBACK_BUFFER, 0, GLsizeiptr(count * sizeof(float)), samples.data());
        const auto mm = std::minmax_element(samples.begin(), samples.end());
        range.smallest = *mm.first;
        range.largest = *mm.second;
        range.count = int(count);
    }
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, 0);
    glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, 0);
    glDeleteBuffers(1, &buffer);
    glDeleteQueries(1, &query);
    d->normalProgram.release();
    return range;
}
