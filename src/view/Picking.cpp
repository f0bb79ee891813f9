#include <epoxy/gl.h>

#include "view/Picking.h"

#include "scene/Object.h"
#include "view/MeshBuffers.h"
#include "view/OffscreenTarget.h"
#include "view/SceneRenderer.h"

#include <QMatrix4x4>
#include <QVector4D>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Two records (point, normal) of three floats per hit.
constexpr int floatsPerRecord = 3;
constexpr int recordsPerHit = 2;
constexpr GLsizeiptr feedbackBytes = maxPickHits * recordsPerHit * floatsPerRecord * sizeof(float);   // 1920

} // namespace

int chooseHit(const QVector<PickHit> &hits, bool bottomPick)
{
    int chosen = -1;
    for (int i = 0; i < hits.size(); ++i) {
        if (chosen < 0) {
            chosen = i;
            continue;
        }
        const float z = hits[i].point.z();
        const float best = hits[chosen].point.z();
        if (bottomPick ? (z < best - 0.00001f) : (z > best + 0.00001f))
            chosen = i;
    }
    return chosen;
}

PickFilter defaultPickFilter(bool withSupports)
{
    return [withSupports](int id, const Object &obj) {
        if (id <= 0 || !obj.isShow)
            return false;
        if (obj.type == TypeSupport)
            return withSupports;
        return true;
    };
}

PickResult rayPick(SceneRenderer &renderer, const QVector<const Object *> &objects, const Camera &camera,
                   const ViewSettings &, const QPointF &mousePos, bool bottomPick, const PickFilter &filter)
{
    return rayPick(renderer, objects, camera.ray(mousePos), bottomPick, filter);
}

PickResult rayPick(SceneRenderer &renderer, const QVector<const Object *> &objects, const PickRay &ray,
                   bool bottomPick, const PickFilter &filter)
{
    PickResult result;
    GlProgram *prog = renderer.intersectionProgram(&result.error);
    if (!prog)
        return result;
    const int loc = prog->attributeLocation("inVertex");

    GLuint feedback = 0, query = 0;
    glGenBuffers(1, &feedback);
    glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, feedback);
    glBufferData(GL_TRANSFORM_FEEDBACK_BUFFER, feedbackBytes, nullptr, GL_STREAM_READ);
    glGenQueries(1, &query);

    // Nothing is rasterised, yet drawing still needs a complete framebuffer, which a
    // headless context does not have.
    OffscreenTarget dummy;
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        dummy.create(QSize(1, 1));

    glBindVertexArray(renderer.vertexArray());
    glEnable(GL_RASTERIZER_DISCARD);
    prog->bind();
    prog->setUniform("rayStart", ray.start);
    prog->setUniform("rayVector", ray.direction);

    // Each object writes after the previous one's records, so every hit knows its object.
    std::vector<float> records;
    std::vector<int> owners;
    GLintptr written = 0;   // records so far
    const GLintptr capacity = maxPickHits * recordsPerHit;
    for (int id = 0; id < objects.size() && written < capacity; ++id) {
        const Object *obj = objects[id];
        if (!obj || !filter(id, *obj))
            continue;
        MeshBuffers *buffers = renderer.buffersFor(*obj);
        if (!buffers)
            continue;
        prog->bind();
        prog->setUniform("modelMatrix", id == 0 ? QMatrix4x4() : objectMatrix(*obj));
        const GLintptr offset = written * floatsPerRecord * GLintptr(sizeof(float));
        glBindBufferRange(GL_TRANSFORM_FEEDBACK_BUFFER, 0, feedback, offset, feedbackBytes - offset);
        glBeginQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN, query);
        glBeginTransformFeedback(GL_POINTS);
        buffers->draw(loc, obj->flip);
        glEndTransformFeedback();
        glEndQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN);
        GLuint count = 0;
        glGetQueryObjectuiv(query, GL_QUERY_RESULT, &count);
        count -= count % recordsPerHit;
        for (GLuint k = 0; k < count / recordsPerHit; ++k)
            owners.push_back(id);
        written += count;
    }
    prog->release();
    glDisable(GL_RASTERIZER_DISCARD);

    written = std::min(written, capacity);
    records.resize(std::size_t(written) * floatsPerRecord);
    if (written > 0) {
        glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, feedback);
        glGetBufferSubData(GL_TRANSFORM_FEEDBACK_BUFFER, 0, GLsizeiptr(records.size() * sizeof(float)),
                           records.data());
    }
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, 0);
    glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, 0);
    glDeleteQueries(1, &query);
    glDeleteBuffers(1, &feedback);
    glBindVertexArray(0);

    for (std::size_t h = 0; h < owners.size(); ++h) {
        const float *p = records.data() + h * recordsPerHit * floatsPerRecord;
        PickHit hit;
        hit.point = QVector3D(p[0], p[1], p[2]);
        hit.normal = QVector3D(p[3], p[4], p[5]);
        hit.objectId = owners[h];
        if (!std::isfinite(hit.point.x()) || !std::isfinite(hit.point.y()) || !std::isfinite(hit.point.z()))
            continue;
        result.hits.append(hit);
    }
    result.chosen = chooseHit(result.hits, bottomPick);
    return result;
}

void encodePickColor(int id, unsigned char *r, unsigned char *g, unsigned char *b)
{
    const int c = id + 1;
    *r = static_cast<unsigned char>(c % 256);
    *g = static_cast<unsigned char>((c / 256) % 256);
    *b = static_cast<unsigned char>((c / 65536) % 256);
}

int decodePickColor(unsigned char r, unsigned char g, unsigned char b)
{
    return int(r) + 256 * int(g) + 65536 * int(b) - 1;
}

void drawSelectPass(SceneRenderer &renderer, const QVector<const Object *> &objects, const Camera &camera,
                    const ViewSettings &settings, const QSize &framebufferPx, const PickFilter &filter)
{
    GlProgram *select = renderer.program("select");
    glViewport(0, 0, framebufferPx.width(), framebufferPx.height());
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!select)
        return;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDisable(GL_BLEND);
    glDisable(GL_CLIP_DISTANCE0);
    glBindVertexArray(renderer.vertexArray());
    const float s = settings.sceneScale();
    const int loc = select->attributeLocation("inVertex");
    for (int id = 0; id < objects.size(); ++id) {
        const Object *obj = objects[id];
        if (!obj || !filter(id, *obj))
            continue;
        MeshBuffers *buffers = renderer.buffersFor(*obj);
        if (!buffers)
            continue;
        select->bind();
        select->setUniform("viewMatrix", camera.viewMatrix());
        select->setUniform("pFactor", camera.pFactor);
        select->setUniform("ClipPlane", QVector4D(0.0f, 0.0f, 0.0f, 1.0f));
        select->setUniform("modelMatrix", SceneRenderer::sceneMatrix(*obj, id, s));
        select->setUniform("code", id);
        buffers->draw(loc, obj->flip);
    }
    select->release();
    glDisable(GL_DEPTH_TEST);
    glBindVertexArray(0);
}

int pickObjectAt(SceneRenderer &renderer, const QVector<const Object *> &objects, const Camera &camera,
                 const ViewSettings &settings, const QSize &framebufferPx, const QPointF &mousePos,
                 const PickFilter &filter)
{
    if (framebufferPx.isEmpty())
        return -1;
    const QSize logical = camera.viewportSize();
    const double sx = double(framebufferPx.width()) / logical.width();
    const double sy = double(framebufferPx.height()) / logical.height();
    const int px = int(std::floor(mousePos.x() * sx));
    const int py = framebufferPx.height() - 1 - int(std::floor(mousePos.y() * sy));
    if (px < 0 || py < 0 || px >= framebufferPx.width() || py >= framebufferPx.height())
        return -1;
    OffscreenTarget target;
    if (!target.create(framebufferPx))
        return -1;
    drawSelectPass(renderer, objects, camera, settings, framebufferPx, filter);
    unsigned char rgba[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(px, py, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    const int id = decodePickColor(rgba[0], rgba[1], rgba[2]);
    return (id >= 0 && id < objects.size()) ? id : -1;
}
