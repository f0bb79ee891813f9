// Automatic grid supports and the overhang facet list.
#include "support/SupportEditor.h"

#include <QElapsedTimer>
#include <cmath>

#include "scene/Scene.h"
#include "config/EnvironmentSettings.h"
#include "support/RayIndex.h"

namespace {

constexpr float kMinHitHeightMm = 2.0f;
const float kCos45 = float(std::cos(M_PI / 4));
constexpr float kFacetAreaForEdgesMm2 = 10.0f;

} // namespace

QPair<QVector<float>, QVector<float>> SupportEditor::gridLines(const QList<float> &b, float p)
{
    QPair<QVector<float>, QVector<float>> lines;
    if (b.size() != 6 || !(p > 0) || !std::isfinite(p))
        return lines;
    const float wx = b[5] - b[4], wy = b[3] - b[2];
    const int fx = int(std::floor(wx / p)), fy = int(std::floor(wy / p));
    for (int i = 0; i <= fx; ++i)
        lines.first << b[4] + wx / 2 - fx * p / 2 + i * p;
    for (int j = 0; j <= fy; ++j)
        lines.second << b[2] + wy / 2 - fy * p / 2 + j * p;
    return lines;
}

double SupportEditor::gridProbeCount(const QList<float> &b, float p)
{
    if (b.size() != 6 || !(p > 0) || !std::isfinite(p))
        return 0;
    return (std::floor(double(b[5] - b[4]) / p) + 1) * (std::floor(double(b[3] - b[2]) / p) + 1);
}

int SupportEditor::onAutoSupport(bool allowManyProbes, QString *error)
{
    QElapsedTimer timer;
    timer.start();
    auto refuse = [&](const QString &why) {
        emit m_scene->updateLogWindow(why);
        if (error)
            *error = why;
        return -1;
    };
    const int model = selectedModel();
    const Object *o = m_scene->object(model);
    if (model < 1 || !o || o->type != TypeModel || !o->mesh)
        return refuse(QStringLiteral("No model is selected for support generation."));
    const float p = m_params.sp;
    if (!(p > 0) || !std::isfinite(p))
        return refuse(QStringLiteral("The support pitch must be a number above 0 mm."));
    const double probes = gridProbeCount(o->bbox, p);
    if (probes > maxAutoSupportProbes && !allowManyProbes)
        return refuse(QStringLiteral("A pitch of %1 mm needs %2 probes under this model; at most %3 are allowed.")
                          .arg(double(p))
                          .arg(probes, 0, 'f', 0)
                          .arg(maxAutoSupportProbes, 0, 'f', 0));

    const QPair<QVector<float>, QVector<float>> grid = gridLines(o->bbox, p);
    std::vector<QVector3D> origins, dirs;
    origins.reserve(std::size_t(probes));
    for (float x : grid.first)        // columns outside, rows inside
        for (float y : grid.second)
            origins.emplace_back(x, y, 0.0f);
    dirs.assign(origins.size(), QVector3D(0, 0, 1));

    const std::shared_ptr<const RayIndex> index = rayIndexFor(o->mesh);
    if (!index->error().isEmpty())
        return refuse(index->error());
    const std::vector<RayIndex::Hit> hits = ObjectRays(*index, objectMatrix(*o)).castMany(origins, dirs);

    const int before = m_scene->objectCount();
    int made = 0;
    m_batch = true;
    for (std::size_t k = 0; k < hits.size(); ++k) {
        const RayIndex::Hit &h = hits[k];
        if (!h.hit || h.point.z() < kMinHitHeightMm)
            continue;
        if (QVector3D::dotProduct(h.normal, QVector3D(0, 0, -1)) < kCos45)
            continue;
        pick.pointA = h.point;
        pick.normalA = h.normal;
        pick.pointB = QVector3D(h.point.x(), h.point.y(), 0);
        pick.normalB = QVector3D(0, 0, 1);
        pick.tipObject = model;
        pick.footObject = 0;
        const bool branch = branchMode;
        branchMode = false;   // grid supports always stand on the plate
        made += addSupportManual(1, false);
        branchMode = branch;
    }
    m_batch = false;
    if (made > 0) {
        m_scene->recordAdded(before, m_scene->objectCount() - 1);
        emit m_scene->modelListChanged();
    }
    emit m_scene->updateLogWindow(
        QString::asprintf("Automatic support generation time: %.1f sec", double(timer.elapsed()) / 1000.0));
    return made;
}

void SupportEditor::generateAutoSupport()
{
    m_overhangLines.clear();
    m_overhangXyz.clear();
    const int model = selectedModel();
    const Object *o = m_scene->object(model);
    if (model < 1 || !o || !o->mesh)
        return;
    const QMatrix4x4 m = objectMatrix(*o);
    const Mesh &mesh = *o->mesh;
    const std::vector<uint32_t> &idx = o->flip ? mesh.reversedIndices : mesh.indices;
    auto vertex = [&](uint32_t i) {
        return m.map(QVector3D(mesh.vertices[i * 3], mesh.vertices[i * 3 + 1], mesh.vertices[i * 3 + 2]));
    };
    for (std::size_t t = 0; t + 2 < idx.size(); t += 3) {
        const QVector3D P = vertex(idx[t]), Q = vertex(idx[t + 1]), R = vertex(idx[t + 2]);
        const QVector3D c = QVector3D::crossProduct(Q - P, R - P);
        const float len = c.length();
        if (len <= 0)
            continue;
        const QVector3D n = c / len;
        if (QVector3D::dotProduct(n, QVector3D(0, 0, -1)) < cosThresholdAngle)
            continue;
        if (len / 2 >= kFacetAreaForEdgesMm2) {
            m_overhangLines << qMakePair(P, Q) << qMakePair(Q, R) << qMakePair(R, P);
        } else {
            const QVector3D centroid = (P + Q + R) / 3;
            m_overhangLines << qMakePair(centroid, centroid + n);
        }
    }
    m_overhangXyz.reserve(std::size_t(m_overhangLines.size()) * 6);
    for (const auto &l : m_overhangLines)
        m_overhangXyz.insert(m_overhangXyz.end(), {l.first.x(), l.first.y(), l.first.z(), l.second.x(), l.second.y(),
                                                   l.second.z()});
    emit m_scene->updateLogWindow(QStringLiteral("size of pointList: %1").arg(m_overhangLines.size()));
    emit m_scene->repaintRequested();
}

int addSupportsUnderModels(Scene &scene, const SupportParameters &params, const SupportSettings &settings,
                           QString *error)
{
    SupportEditor editor(&scene);
    editor.setParameters(params);
    editor.penetrationDistance = settings.penetrationDistanceMm;
    QList<int> models;
    for (int i = 1; i < scene.objectCount(); ++i)
        if (scene.object(i)->type == TypeModel)
            models << i;
    int total = 0;
    for (int id : models) {
        scene.changeSelObj({id}, id);
        const int made = editor.onAutoSupport(false, error);
        if (made < 0) {
            if (error)
                *error = scene.object(id)->name + ": " + *error;
            return -1;
        }
        total += made;
    }
    scene.changeSelObj({}, 0);
    return total;
}
