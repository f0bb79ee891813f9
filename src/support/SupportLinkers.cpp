#include "support/SupportLinkers.h"

#include <QHash>
#include <algorithm>
#include <cmath>

#include "scene/Scene.h"
#include "support/SupportMeshBuilder.h"

namespace {

QVector3D footOf(const Object &o)
{
    return o.support.points.last() + o.move;
}

} // namespace

QVector<SupportLinkers::Pair> SupportLinkers::linkedPairs(int distanceMm) const
{
    QVector<Pair> linked;
    for (int model = 1; model < m_scene->objectCount(); ++model) {
        if (m_scene->object(model)->type != TypeModel)
            continue;
        QVector<int> group;
        for (int i = 1; i < m_scene->objectCount(); ++i) {
            const Object *o = m_scene->object(i);
            if (o->type == TypeSupport && o->parent == model && o->support.points.size() > 4)
                group << i;
        }
        QVector<Pair> pairs;
        for (int a = 0; a < group.size(); ++a)
            for (int b = a + 1; b < group.size(); ++b)
                pairs.push_back({group[a], group[b],
                                 (footOf(*m_scene->object(group[a])) - footOf(*m_scene->object(group[b]))).length()});
        std::stable_sort(pairs.begin(), pairs.end(),
                         [](const Pair &x, const Pair &y) { return x.distanceMm < y.distanceMm; });
        QHash<int, int> links;
        for (const Pair &p : pairs) {
            if (!(p.distanceMm < float(distanceMm)) || links.value(p.first) >= 2 || links.value(p.second) >= 2)
                continue;
            ++links[p.first];
            ++links[p.second];
            linked << p;
        }
    }
    return linked;
}

QVector3D SupportLinkers::bodyPointAt(int objId, float z) const
{
    // The body runs from the third point (below the tip) to the fourth (top of the foot).
    // Points between them are interpolated by height, also when the body leans only in y.
    const Object &o = *m_scene->object(objId);
    const QVector3D p2 = o.support.points[2] + o.move, p3 = o.support.points[3] + o.move;
    QVector3D at(p2.x(), p2.y(), z);
    if (std::abs(p2.z() - p3.z()) > 1e-6f && (p2.x() != p3.x() || p2.y() != p3.y())) {
        const float t = std::clamp((z - p3.z()) / (p2.z() - p3.z()), 0.0f, 1.0f);
        at.setX(p3.x() + t * (p2.x() - p3.x()));
        at.setY(p3.y() + t * (p2.y() - p3.y()));
    }
    return at;
}

QVector<SupportLinkers::Brace> SupportLinkers::bracesOf(const Pair &pair) const
{
    QVector<Brace> braces;
    const Object &a = *m_scene->object(pair.first), &b = *m_scene->object(pair.second);
    const float d = pair.distanceMm;
    const float top = std::min(a.support.points[2].z() + a.move.z(), b.support.points[2].z() + b.move.z());
    const float bottom = std::min(footOf(a).z(), footOf(b).z());
    const float step = d + 2.0f;
    const int levels = int(std::floor((top + 1.0f - bottom) / step));
    const float secondFoot = footOf(b).z();
    for (int k = 0; k < levels; ++k) {
        const float upper = std::max(top - k * step, 0.5f);
        const float lower = std::max(top - k * step - d, 0.5f);
        if (!(lower > secondFoot))
            continue;
        braces << Brace(bodyPointAt(pair.first, upper + 1.0f), bodyPointAt(pair.second, lower - 1.0f));
        braces << Brace(bodyPointAt(pair.first, lower - 1.0f), bodyPointAt(pair.second, upper + 1.0f));
    }
    return braces;
}

float SupportLinkers::braceRadiusMm(float lengthMm)
{
    return 0.3f * std::sqrt(lengthMm / 4.5f);
}

int SupportLinkers::generateSupportLinkers(int distanceMm, QString *error)
{
    if (distanceMm <= 0) {
        if (error)
            *error = QStringLiteral("The linker distance must be above 0 mm.");
        return -1;
    }
    m_distanceMm = distanceMm;
    m_scene->removeSupportLinkers();
    m_braces.clear();
    for (const Pair &p : linkedPairs(distanceMm))
        m_braces += bracesOf(p);
    SupportMeshBuilder builder;
    std::vector<MeshPiece> pieces;
    for (const Brace &b : m_braces) {
        const float length = (b.second - b.first).length();
        if (length < 1e-4f)
            continue;   // a brace without a direction would be a piece of NaNs
        const float r = braceRadiusMm(length);
        pieces.push_back(builder.frustum(b.first, r, b.second, r));
    }
    if (pieces.empty()) {
        emit m_scene->modelListChanged();
        return -1;
    }
    Object linkers;
    linkers.type = TypeSupportLinker;
    linkers.mode = 2;
    linkers.name = QStringLiteral("SupportLinkers");
    linkers.mesh = std::make_shared<Mesh>(meshFromPieces(pieces));
    const int id = m_scene->addStructureObject(std::move(linkers));
    emit m_scene->modelListChanged();
    return id;
}
