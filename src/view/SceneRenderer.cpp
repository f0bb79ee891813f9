#include <epoxy/gl.h>

#include "view/SceneRenderer.h"

#include "scene/Object.h"
#include "scene/Scene.h"
#include "view/Camera.h"
#include "view/IslandMarkers.h"
#include "view/MeshBuffers.h"

#include <QMatrix4x4>
#include <QStringList>
#include <QVector4D>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The indices of a support's contact part: its first sphere (288 triangles).
constexpr int supportContactIndices = 864;

// Programs linked once per context; the ray-pick program is linked on first use.
const char *const viewProgramNames[] = {"mesh", "line", "background", "base", "basex",
                                        "quad", "rect",  "select",     "waterline", "aabb"};

unsigned nextGeneration()
{
    static unsigned generation = 0;
    return ++generation;
}

QMatrix4x4 scaleMatrix(float s)
{
    QMatrix4x4 m;
    m.scale(s);
    return m;
}

} // namespace

float ViewSettings::sceneScale() const
{
    return Camera::sceneScaleFor(projectorWidthPx, pixelSizeXUm);
}

QVector4D sliceClipPlane(bool keepAbove, float heightView)
{
    const float h = std::max(heightView, 0.000001f);
    return keepAbove ? QVector4D(0.0f, 0.0f, 1.0f, -h) : QVector4D(0.0f, 0.0f, -1.0f, h);
}

QVector<const Object *> FrameState::objectsOf(const Scene &scene)
{
    QVector<const Object *> list;
    const int n = scene.objectCount();
    list.reserve(n);
    for (int i = 0; i < n; ++i)
        list.append(scene.object(i));
    return list;
}

SceneRenderer::SceneRenderer() = default;

SceneRenderer::~SceneRenderer()
{
    if (!m_initialized)
        return;
    m_programs.clear();
    m_intersection.reset();
    if (m_stream)
        glDeleteBuffers(1, &m_stream);
    if (m_vao)
        glDeleteVertexArrays(1, &m_vao);
    MeshBuffers::releasePending(m_generation);
    MeshBuffers::forgetContext(m_generation);
}

void SceneRenderer::contextLost()
{
    // GlProgram deletes its name on destruction; with the context gone that name is
    // meaningless, so the programs are leaked on purpose rather than deleted in a
    // context that may now be another one.
    for (auto &entry : m_programs)
        entry.second.release();
    m_programs.clear();
    m_intersection.release();
    m_bufferCache.clear();
    MeshBuffers::forgetContext(m_generation);
    m_vao = 0;
    m_stream = 0;
    m_initialized = false;
}

bool SceneRenderer::initialize(QString *error)
{
    if (m_initialized)
        return true;
    m_generation = nextGeneration();
    QStringList failures;
    for (const char *name : viewProgramNames) {
        auto prog = std::make_unique<GlProgram>();
        if (!prog->build(QString::fromLatin1(name)))
            failures << prog->errorString();
        m_programs[QString::fromLatin1(name)] = std::move(prog);
    }
    glGenVertexArrays(1, &m_vao);
    glGenBuffers(1, &m_stream);
    glGetIntegerv(GL_MAJOR_VERSION, &m_glMajor);
    glGetIntegerv(GL_MINOR_VERSION, &m_glMinor);
    m_initialized = true;
    if (!failures.isEmpty()) {
        if (error)
            *error = failures.join(QLatin1Char('\n'));
        return false;
    }
    return true;
}

QString SceneRenderer::versionText() const
{
    return QStringLiteral("OpenGL version: %1.%2").arg(m_glMajor).arg(m_glMinor);
}

GlProgram *SceneRenderer::program(const char *name)
{
    auto it = m_programs.find(QString::fromLatin1(name));
    if (it == m_programs.end() || !it->second->isLinked())
        return nullptr;
    return it->second.get();
}

GlProgram *SceneRenderer::intersectionProgram(QString *error)
{
    if (!m_intersection) {
        m_intersection = std::make_unique<GlProgram>();
        m_intersection->build(QStringLiteral("intersection"), {QStringLiteral("CustomPoint")});
    }
    if (!m_intersection->isLinked()) {
        if (error)
            *error = m_intersection->errorString();
        return nullptr;
    }
    return m_intersection.get();
}

MeshBuffers *SceneRenderer::buffersFor(const Object &obj)
{
    if (!obj.mesh || !m_initialized)
        return nullptr;
    const Mesh &mesh = *obj.mesh;
    auto current = [&](const std::shared_ptr<MeshBuffers> &b) {
        return b && b->contextGeneration() == m_generation && b->matches(mesh);
    };
    // Object is shared with the scene; its buffer pointer is a cache slot the view fills.
    auto &slot = const_cast<Object &>(obj).meshBuffers;
    if (current(slot))
        return slot.get();
    auto it = m_bufferCache.find(&mesh);
    if (it != m_bufferCache.end()) {
        std::shared_ptr<MeshBuffers> cached = it->second.lock();
        if (current(cached)) {
            slot = cached;
            return slot.get();
        }
    }
    if (m_bufferCache.size() > 64) {
        for (auto c = m_bufferCache.begin(); c != m_bufferCache.end();)
            c = c->second.expired() ? m_bufferCache.erase(c) : std::next(c);
    }
    glBindVertexArray(m_vao);
    slot = std::make_shared<MeshBuffers>(mesh, m_generation);
    m_bufferCache[&mesh] = slot;
    return slot.get();
}

QMatrix4x4 SceneRenderer::sceneMatrix(const Object &obj, int id, float sceneScale)
{
    QMatrix4x4 m = scaleMatrix(sceneScale);
    if (id != 0 && obj.type != TypeBuildPlate)
        m *= objectMatrix(obj);
    return m;
}

QVector3D SceneRenderer::objectColor(const Object &obj, bool selected)
{
    if (selected)
        return {1.0f, 0.72f, 0.35f};
    switch (obj.type) {
    case TypeBuildPlate:     return {0.62f, 0.62f, 0.66f};
    case TypeBase:           return {0.78f, 0.72f, 0.58f};
    case TypeSupport:        return {0.72f, 0.74f, 0.80f};
    case TypeSupportLinker:  return {0.66f, 0.70f, 0.80f};
    case TypeDrainHole:      return {0.90f, 0.50f, 0.30f};
    case TypeHollowedModel:  return {0.70f, 0.60f, 0.90f};
    default: break;
    }
    if (obj.mode == 1)
        return {0.50f, 0.85f, 0.50f};   // second exposure group
    return {0.55f, 0.70f, 0.92f};
}

void SceneRenderer::drawStream(GlProgram *prog, unsigned mode, const float *data, int components, int count)
{
    if (!prog || count <= 0)
        return;
    const int loc = prog->attributeLocation("inVertex");
    if (loc < 0)
        return;
    glBindBuffer(GL_ARRAY_BUFFER, m_stream);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(sizeof(float) * components * count), data, GL_STREAM_DRAW);
    glEnableVertexAttribArray(GLuint(loc));
    glVertexAttribPointer(GLuint(loc), components, GL_FLOAT, GL_FALSE, 0, nullptr);
    glDrawArrays(mode, 0, count);
    glDisableVertexAttribArray(GLuint(loc));
}

void SceneRenderer::render(const Camera &camera, const ViewSettings &settings, const FrameState &frame,
                           const QSize &framebufferPx)
{
    if (!m_initialized)
        return;
    MeshBuffers::releasePending(m_generation);
    glBindVertexArray(m_vao);
    glViewport(0, 0, framebufferPx.width(), framebufferPx.height());
    glFrontFace(GL_CCW);
    glDisable(GL_CULL_FACE);
    glDisable(GL_STENCIL_TEST);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

    if (frame.background) {
        if (GlProgram *bg = program("background")) {
            glDisable(GL_DEPTH_TEST);
            glDisable(GL_BLEND);
            glDepthMask(GL_FALSE);
            bg->bind();
            bg->setUniform("tilt", camera.tilt);
            bg->setUniform("yaw", camera.yaw);
            const float quad[] = {-1, -1, 1, -1, -1, 1, 1, 1};
            drawStream(bg, GL_TRIANGLE_STRIP, quad, 2, 4);
            bg->release();
            glDepthMask(GL_TRUE);
        }
    }

    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    if (!frame.slicing) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        drawBuildPlate(camera, settings, frame);
        if (frame.objects.size() > 1) {
            drawObjects(camera, settings, frame, false);
            drawObjects(camera, settings, frame, true);
        }
        drawGrid(camera, settings, frame);
        drawVolumeBox(camera, settings);
        drawMarkers(camera, settings);
        if (frame.islandMarkers)
            drawIslandMarkers(*this, camera, settings, *frame.islandMarkers);
        if (frame.showBounds)
            drawBounds(camera, settings, frame);
        if (frame.overhangLines && !frame.overhangLines->empty())
            drawOverhangLines(camera, settings, *frame.overhangLines);
        if (frame.waterline)
            drawWaterline(camera, settings, frame);
        if (frame.flexBand)
            drawFlexBand(camera, settings, frame);
    }

    glDisable(GL_CLIP_DISTANCE0);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glLineWidth(1.0f);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
}

void SceneRenderer::setMeshUniforms(const Camera &camera, const FrameState &frame, float sceneScale)
{
    GlProgram *mesh = program("mesh");
    mesh->setUniform("viewMatrix", camera.viewMatrix());
    mesh->setUniform("zoom", camera.zoom);
    mesh->setUniform("pFactor", camera.pFactor);
    mesh->setUniform("light.position", QVector3D(1.2f, 1.0f, 2.0f));
    mesh->setUniform("light.ambient", QVector3D(0.35f, 0.35f, 0.35f));
    mesh->setUniform("light.diffuse", QVector3D(0.75f, 0.75f, 0.75f));
    mesh->setUniform("light.specular", QVector3D(0.25f, 0.25f, 0.25f));
    mesh->setUniform("material.specular", QVector3D(0.5f, 0.5f, 0.5f));
    mesh->setUniform("material.shininess", 32.0f);
    mesh->setUniform("viewPos", QVector3D(0.0f, 0.0f, 3.0f));
    if (frame.clip) {
        glEnable(GL_CLIP_DISTANCE0);
        mesh->setUniform("ClipPlane", sliceClipPlane(frame.clipKeepsAbove, frame.clipZmm * sceneScale));
    } else {
        glDisable(GL_CLIP_DISTANCE0);
        mesh->setUniform("ClipPlane", QVector4D(0.0f, 0.0f, 0.0f, 1.0f));
    }
}

void SceneRenderer::drawBuildPlate(const Camera &camera, const ViewSettings &settings, const FrameState &frame)
{
    // The plate model only makes sense seen from above; from below it would hide the models.
    if (!settings.showPlatform || camera.tilt >= -85.0f || frame.objects.isEmpty() || !frame.objects[0])
        return;
    const Object &plate = *frame.objects[0];
    GlProgram *mesh = program("mesh");
    MeshBuffers *buffers = buffersFor(plate);
    if (!mesh || !buffers)
        return;
    const float s = settings.sceneScale();
    glDisable(GL_BLEND);
    mesh->bind();
    setMeshUniforms(camera, frame, s);
    glDisable(GL_CLIP_DISTANCE0);
    mesh->setUniform("ClipPlane", QVector4D(0.0f, 0.0f, 0.0f, 1.0f));
    mesh->setUniform("modelMatrix", sceneMatrix(plate, 0, s));
    const QVector3D c = objectColor(plate, false);
    mesh->setUniform("material.ambient", c);
    mesh->setUniform("material.diffuse", c);
    mesh->setUniform("opacity", 1.0f);
    mesh->setUniform("out_angle", 1.1f);
    mesh->setUniform("cri_angle", 1.1f);
    buffers->draw(mesh->attributeLocation("inVertex"), false);
    mesh->release();
}

void SceneRenderer::drawObjects(const Camera &camera, const ViewSettings &settings, const FrameState &frame,
                                bool translucent)
{
    GlProgram *mesh = program("mesh");
    if (!mesh)
        return;
    const float s = settings.sceneScale();
    glEnable(GL_BLEND);
    // Translucent objects go last and leave the depth buffer alone, so what lies behind
    // them still shows.
    glDepthMask(translucent ? GL_FALSE : GL_TRUE);
    mesh->bind();
    setMeshUniforms(camera, frame, s);
    const int loc = mesh->attributeLocation("inVertex");
    for (int id = 1; id < frame.objects.size(); ++id) {
        const Object *obj = frame.objects[id];
        if (!obj || !obj->isShow || !obj->mesh)
            continue;
        const float opacity = std::clamp(obj->opacity, 0.0f, 1.0f);
        if ((opacity < 1.0f) != translucent)
            continue;
        MeshBuffers *buffers = buffersFor(*obj);
        if (!buffers)
            continue;
        mesh->bind();   // buffersFor may have touched bindings, never the program; cheap anyway
        const bool selected = frame.selection.contains(id);
        const QVector3D c = objectColor(*obj, selected);
        mesh->setUniform("modelMatrix", sceneMatrix(*obj, id, s));
        mesh->setUniform("material.ambient", c);
        mesh->setUniform("material.diffuse", c);
        mesh->setUniform("opacity", opacity);
        const bool overhang = frame.supportMode != 0 && obj->type == TypeModel;
        mesh->setUniform("out_angle", overhang ? frame.overhangCos : 1.1f);
        mesh->setUniform("cri_angle", overhang ? frame.criticalCos : 1.1f);
        // The contact-only view shows what the contact part of each support is: its first sphere.
        const bool contactOnly = obj->type == TypeSupport && !frame.fullSupportView;
        buffers->draw(loc, obj->flip, contactOnly ? supportContactIndices : -1);
    }
    mesh->release();
    glDepthMask(GL_TRUE);
}

void SceneRenderer::drawGrid(const Camera &camera, const ViewSettings &settings, const FrameState &frame)
{
    GlProgram *base = program("base");
    if (!base)
        return;
    const float hx = settings.plateWidthMm() / 2.0f;
    const float hy = settings.plateHeightMm() / 2.0f;
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    base->bind();
    base->setUniform("modelMatrix", scaleMatrix(settings.sceneScale()));
    base->setUniform("viewMatrix", camera.viewMatrix());
    base->setUniform("pFactor", camera.pFactor);
    base->setUniform("zmin", 0.0f);
    base->setUniform("conflict", frame.outOfBuild ? 1.0f : 0.0f);
    const float quad[] = {-hx, -hy, hx, -hy, -hx, hy, hx, hy};
    drawStream(base, GL_TRIANGLE_STRIP, quad, 2, 4);
    base->release();
    glDepthMask(GL_TRUE);
}

void SceneRenderer::drawVolumeBox(const Camera &camera, const ViewSettings &settings)
{
    GlProgram *line = program("line");
    if (!line)
        return;
    const float x = settings.plateWidthMm() / 2.0f;
    const float y = settings.plateHeightMm() / 2.0f;
    const float z0 = 0.001f;
    const float z1 = settings.buildHeightMm > 0.0f ? settings.buildHeightMm : 130.0f;
    const float c[8][3] = {{-x, -y, z0}, {x, -y, z0}, {x, y, z0}, {-x, y, z0},
                           {-x, -y, z1}, {x, -y, z1}, {x, y, z1}, {-x, y, z1}};
    const int edges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                              {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    std::vector<float> v;
    v.reserve(72);
    for (const auto &e : edges)
        for (int k : e)
            v.insert(v.end(), {c[k][0], c[k][1], c[k][2]});
    glEnable(GL_BLEND);
    line->bind();
    line->setUniform("modelMatrix", scaleMatrix(settings.sceneScale()));
    line->setUniform("viewMatrix", camera.viewMatrix());
    line->setUniform("pFactor", camera.pFactor);
    line->setUniform("color", QVector3D(0.7f, 0.7f, 0.7f));
    // Core profiles may only offer width 1; the box is still drawn then.
    glLineWidth(2.0f);
    glGetError();
    drawStream(line, GL_LINES, v.data(), 3, 24);
    glLineWidth(1.0f);
    glGetError();
    line->release();
}

void SceneRenderer::drawOverhangLines(const Camera &camera, const ViewSettings &settings,
                                      const std::vector<float> &lines)
{
    GlProgram *line = program("line");
    if (!line)
        return;
    glEnable(GL_BLEND);
    line->bind();
    line->setUniform("modelMatrix", scaleMatrix(settings.sceneScale()));
    line->setUniform("viewMatrix", camera.viewMatrix());
    line->setUniform("pFactor", camera.pFactor);
    line->setUniform("color", QVector3D(1.0f, 0.25f, 0.2f));
    drawStream(line, GL_LINES, lines.data(), 3, int(lines.size() / 3));
    line->release();
}

void SceneRenderer::drawMarkers(const Camera &camera, const ViewSettings &settings)
{
    GlProgram *line = program("line");
    GlProgram *rect = program("rect");
    if (!line || !rect)
        return;
    const QMatrix4x4 model = scaleMatrix(settings.sceneScale());
    const float mx = float(camera.markerCenter.x());
    const float my = float(camera.markerCenter.y());
    const float arm = 10.0f;
    const float cross[] = {mx - arm, my, 0.002f, mx + arm, my, 0.002f,
                           mx, my - arm, 0.002f, mx, my + arm, 0.002f};
    glEnable(GL_BLEND);
    line->bind();
    line->setUniform("modelMatrix", model);
    line->setUniform("viewMatrix", camera.viewMatrix());
    line->setUniform("pFactor", camera.pFactor);
    line->setUniform("color", QVector3D(1.0f, 0.5f, 0.5f));
    drawStream(line, GL_LINES, cross, 3, 4);
    line->release();

    // The arrow in front of the plate's front edge (the -y side, the side the Front
    // preset looks from), pointing at the viewer of that preset.
    const float y0 = -settings.plateHeightMm() / 2.0f;
    const float arrow[] = {-5.0f, y0 - 3.0f, 0.002f, 5.0f,  y0 - 3.0f, 0.002f,
                           -0.01f, y0 - 8.0f, 0.002f, 0.01f, y0 - 8.0f, 0.002f};
    rect->bind();
    rect->setUniform("modelMatrix", model);
    rect->setUniform("viewMatrix", camera.viewMatrix());
    rect->setUniform("pFactor", camera.pFactor);
    rect->setUniform("color", QVector3D(1.0f, 0.5f, 0.5f));
    drawStream(rect, GL_TRIANGLE_STRIP, arrow, 3, 4);
    rect->release();
}

void SceneRenderer::drawBounds(const Camera &camera, const ViewSettings &settings, const FrameState &frame)
{
    GlProgram *line = program("line");
    if (!line)
        return;
    std::vector<float> v;
    for (int id : frame.selection) {
        if (id <= 0 || id >= frame.objects.size() || !frame.objects[id])
            continue;
        const QList<float> &b = frame.objects[id]->bbox;
        if (b.size() < 6)
            continue;
        const float xs[2] = {b[4], b[5]}, ys[2] = {b[2], b[3]}, zs[2] = {b[1], b[0]};
        auto corner = [&](int k) { return QVector3D(xs[k & 1], ys[(k >> 1) & 1], zs[(k >> 2) & 1]); };
        const int edges[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3},
                                  {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
        for (const auto &e : edges)
            for (int k : e) {
                const QVector3D p = corner(k);
                v.insert(v.end(), {p.x(), p.y(), p.z()});
            }
    }
    if (v.empty())
        return;
    glEnable(GL_BLEND);
    line->bind();
    line->setUniform("modelMatrix", scaleMatrix(settings.sceneScale()));
    line->setUniform("viewMatrix", camera.viewMatrix());
    line->setUniform("pFactor", camera.pFactor);
    line->setUniform("color", QVector3D(1.0f, 0.6f, 0.1f));
    drawStream(line, GL_LINES, v.data(), 3, int(v.size() / 3));
    line->release();
}

void SceneRenderer::drawWaterline(const Camera &camera, const ViewSettings &settings, const FrameState &frame)
{
    GlProgram *water = program("waterline");
    if (!water)
        return;
    const float s = settings.sceneScale();
    glDisable(GL_DEPTH_TEST);   // the outline shows through the cut models
    water->bind();
    water->setUniform("viewMatrix", camera.viewMatrix());
    water->setUniform("pFactor", camera.pFactor);
    water->setUniform("p0", frame.waterlineZmm * s);
    water->setUniform("color", QVector3D(1.0f, 1.0f, 0.0f));
    const int loc = water->attributeLocation("inVertex");
    for (int id = 1; id < frame.objects.size(); ++id) {
        const Object *obj = frame.objects[id];
        if (!obj || !obj->isShow)
            continue;
        MeshBuffers *buffers = buffersFor(*obj);
        if (!buffers)
            continue;
        water->setUniform("modelMatrix", sceneMatrix(*obj, id, s));
        buffers->draw(loc, obj->flip);
    }
    water->release();
    glEnable(GL_DEPTH_TEST);
}

void SceneRenderer::drawFlexBand(const Camera &camera, const ViewSettings &settings, const FrameState &frame)
{
    GlProgram *rect = program("rect");
    if (!rect)
        return;
    const float x = settings.plateWidthMm() / 2.0f;
    const float y = settings.plateHeightMm() / 2.0f;
    const float z0 = std::min(frame.flexFromMm, frame.flexToMm);
    const float z1 = std::max(frame.flexFromMm, frame.flexToMm);
    // Two sides of the band facing the default views; enough to read its height.
    const float band[] = {-x, -y, z0, x, -y, z0, -x, -y, z1, x, -y, z1};
    const float side[] = {x, -y, z0, x, y, z0, x, -y, z1, x, y, z1};
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    rect->bind();
    rect->setUniform("modelMatrix", scaleMatrix(settings.sceneScale()));
    rect->setUniform("viewMatrix", camera.viewMatrix());
    rect->setUniform("pFactor", camera.pFactor);
    rect->setUniform("color", QVector3D(0.3f, 0.6f, 1.0f));
    drawStream(rect, GL_TRIANGLE_STRIP, band, 3, 4);
    drawStream(rect, GL_TRIANGLE_STRIP, side, 3, 4);
    rect->release();
    glDepthMask(GL_TRUE);
}

void SceneRenderer::drawSliceTexture(const Camera &camera, unsigned texture, int textureId, float cutZmm, float yExtent)
{
    GlProgram *quad = program("quad");
    if (!quad || !texture)
        return;
    glBindVertexArray(m_vao);
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    quad->bind();
    quad->setUniform("viewMatrix", camera.viewMatrix());
    quad->setUniform("pFactor", camera.pFactor);
    quad->setUniform("cutPlaneZ", cutZmm * camera.sceneScale());
    quad->setUniform("tex", 0);
    quad->setUniform("textureId", textureId);
    quad->setUniform("yExtent", yExtent);
    const float v[] = {-1, -1, 1, -1, -1, 1, 1, 1};
    drawStream(quad, GL_TRIANGLE_STRIP, v, 2, 4);
    quad->release();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_BLEND);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
}
