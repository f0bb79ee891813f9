#include "support/SupportEditor.h"

#include <QtMath>
#include <algorithm>
#include <cmath>

#include "scene/Scene.h"
#include "support/RayIndex.h"

namespace {

// Manual and automatic supports are made only on the plate's printable diamond.
constexpr float kReachMm = 100.0f;
// Supports taller than this get a thicker body: one per cent per millimetre.
constexpr float kTallSupportMm = 15.0f;

QVector3D limitToCone(QVector3D d, double angleRad, bool upward)
{
    // d tilted from straight down (or up) by more than the angle is turned onto the cone.
    const QVector3D axis = upward ? QVector3D(0, 0, 1) : QVector3D(0, 0, -1);
    if (std::cos(angleRad) > QVector3D::dotProduct(d, axis)) {
        const float rho = std::sqrt(d.x() * d.x() + d.y() * d.y());
        const float s = float(std::sin(angleRad));
        if (rho < 1e-9f)
            return axis;
        return QVector3D(s * d.x() / rho, s * d.y() / rho, float(std::cos(angleRad)) * axis.z());
    }
    return d;
}

} // namespace

SupportEditor::SupportEditor(Scene *scene, QObject *parent) : QObject(parent), m_scene(scene)
{
    // Holds nothing of the editor: the scene may outlive it (the command line's editors).
    m_scene->setSupportMeshMaker([](const spUnit &u) {
        SupportMeshBuilder b;
        b.thinTip = u.thinTip;
        return b.build(u);
    });
}

void SupportEditor::setSupportParameters(float sp, float r0, float r1, float r2, float r3, float h0, float h2,
                                         float theta, float theta2, bool thinTip)
{
    SupportParameters p;
    p.sp = sp;
    p.r0 = r0;
    p.r1 = r1;
    p.r2 = r2;
    p.r3 = r3;
    p.h0 = h0;
    p.h2 = h2;
    p.theta = theta;
    p.theta2 = theta2;
    p.thinTip = thinTip;
    setParameters(p);
}

void SupportEditor::setParameters(const SupportParameters &p)
{
    m_params = p;
    m_builder.thinTip = p.thinTip;
}

// ---------------------------------------------------------------- support mode

void SupportEditor::setSupportMode(int mode)
{
    if (m_mode == 0 && mode > 0) {
        m_removedGlobalBase = false;
        m_removedLinkers = false;
        for (int i = 1; i < m_scene->objectCount(); ++i) {
            const Object *o = m_scene->object(i);
            m_removedGlobalBase = m_removedGlobalBase || (o->type == TypeBase && o->name == "GlobalBase");
            m_removedLinkers = m_removedLinkers || (o->type == TypeSupportLinker && o->name == "SupportLinkers");
        }
        m_scene->removeGlobalBase();
        m_scene->removeSupportLinkers();
        waterline = true;
        branchCandidate = 0;
        generateAutoSupport();
        // The probes under the mouse need each model's ray index; building it now keeps the
        // first move over a big model from stalling.
        for (int i = 1; i < m_scene->objectCount(); ++i)
            if (const Object *o = m_scene->object(i); o->type == TypeModel || o->type == TypeHollowedModel)
                rayIndexFor(o->mesh);
    } else if (m_mode > 0 && mode == 0) {
        if (m_removedGlobalBase && restoreGlobalBase)
            restoreGlobalBase();
        if (m_removedLinkers && regenerateSupportLinkers)
            regenerateSupportLinkers();
        m_removedGlobalBase = m_removedLinkers = false;
        deleteSupportPreview();
        waterline = false;
        m_overhangLines.clear();
        m_overhangXyz.clear();
    }
    m_mode = mode;
    m_scene->setSupportMode(mode);
}

QString SupportEditor::statusLine() const
{
    if (m_mode <= 0)
        return QString();
    QString s = m_mode == 1 ? QStringLiteral("Support Mode (1 Pt). Press ESC to escape.")
                            : QStringLiteral("Support Mode (2 Pt). Press ESC to escape.");
    if (flipCopyMode & 1)
        s += QStringLiteral(" [X Flip Copy ON]");
    if (flipCopyMode & 2)
        s += QStringLiteral(" [Y Flip Copy ON]");
    return s;
}

// ---------------------------------------------------------------- records and objects

int SupportEditor::addOne(const spUnit &unit, bool record, QString *error)
{
    const QString problem = supportRecordProblem(unit);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return -1;
    }
    SupportMeshBuilder b = m_builder;
    b.thinTip = unit.thinTip;
    const int id = m_scene->addSupportObject(unit, b.build(unit));
    if (record && !m_batch) {
        m_scene->recordAdded(id, id);
        emit m_scene->updateLogWindow(m_scene->object(id)->name + " has been added.");
    }
    return id;
}

int SupportEditor::addSupportManual(const spUnit &unit, QString *error)
{
    spUnit u = unit;
    u.preview = false;
    const int id = addOne(u, false, error);
    if (id >= 0) {
        emit m_scene->updateLogWindow(m_scene->object(id)->name + " has been added.");
        emit m_scene->modelListChanged();
    }
    return id;
}

bool SupportEditor::hasPreview() const
{
    const Object *last = m_scene->object(m_scene->objectCount() - 1);
    return last && last->type == TypeSupport && last->support.preview;
}

void SupportEditor::deleteSupportPreview() { m_scene->removePreviewSupport(); }

bool SupportEditor::updateSupport(int objId, spUnit unit, QString *error)
{
    const Object *o = m_scene->object(objId);
    if (!o || o->type != TypeSupport) {
        if (error)
            *error = QStringLiteral("Object %1 is not a support.").arg(objId);
        return false;
    }
    const QString problem = supportRecordProblem(unit);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    unit.thinTip = m_builder.thinTip;
    m_scene->replaceSupport(objId, unit, m_builder.build(unit));
    emit m_scene->modelListChanged();
    return true;
}

// A support's point and radius at a world height: the last section whose ends enclose it.
spUnit SupportEditor::sampledAt(int supportObj, float worldZ, float *radius, QVector3D *point) const
{
    const Object *o = m_scene->object(supportObj);
    const spUnit &u = o->support;
    const float z = worldZ - o->move.z();
    int s = -1;
    for (int i = 0; i + 1 < u.points.size(); ++i)
        if ((u.points[i].z() - z) * (u.points[i + 1].z() - z) <= 0)
            s = i;
    if (s < 0) {
        // Outside the support's height: its nearest end.
        const bool above = !u.points.isEmpty() && z > u.points.first().z();
        const int e = above || u.points.size() < 2 ? 0 : u.points.size() - 1;
        *point = u.points.value(e) + o->move;
        *radius = u.radii.value(e);
        return u;
    }
    const float span = u.points[s].z() - u.points[s + 1].z();
    const float t = std::abs(span) < 1e-9f ? 1.0f : (z - u.points[s + 1].z()) / span;
    *point = t * u.points[s] + (1 - t) * u.points[s + 1] + o->move;
    *radius = t * u.radii[s] + (1 - t) * u.radii[s + 1];
    return u;
}

int SupportEditor::selectedModel() const
{
    const int cur = m_scene->currentObject();
    const Object *o = m_scene->object(cur);
    if (cur >= 1 && o && o->type == TypeModel)
        return cur;
    for (int id : m_scene->selection())
        if (id >= 1 && m_scene->object(id) && m_scene->object(id)->type == TypeModel)
            return id;
    return cur;
}

QVector<QPair<float, int>> SupportEditor::branchCandidates(QVector3D a) const
{
    QVector<QPair<float, int>> list;
    const int model = selectedModel();
    for (int k = 0; k < m_scene->supportCount(); ++k) {
        const int id = m_scene->supportIndexMap().at(k);
        const Object *o = m_scene->object(id);
        const spUnit &u = o->support;
        if (u.preview || u.points.size() < 2 || m_scene->owningModelOf(id) != model)
            continue;
        const QVector3D first = u.points.first() + o->move, second = u.points[1] + o->move,
                        last = u.points.last() + o->move;
        const float key = (second - a).length();
        if (std::abs(last.x() - a.x()) < 5 && std::abs(last.y() - a.y()) < 5 && key < 15
            && std::abs(first.z() - a.z()) < 3 && last.z() < a.z())
            list << qMakePair(key, k);
    }
    std::sort(list.begin(), list.end());
    return list;
}

int SupportEditor::addSupportManual(int mode, bool preview, QString *error)
{
    auto refuse = [&](const QString &why) {
        if (error)
            *error = why;
        return 0;
    };
    const Object *tipObj = m_scene->object(pick.tipObject);
    const bool tipIsSupport = tipObj && pick.tipObject >= 1 && tipObj->type == TypeSupport;
    const bool tipIsModel = tipObj && pick.tipObject >= 1 && (tipObj->type == TypeModel || tipObj->type == TypeHollowedModel);
    if (tipIsSupport && mode == 2)
        mode = 3;
    if (tipIsSupport && mode == 6)
        mode = 7;
    float r0 = m_params.r0, r1 = m_params.r1, r2 = m_params.r2, r3 = m_params.r3;
    float rA = r3;
    const float nLen = pick.normalA.length();
    if (!std::isfinite(nLen) || nLen < 1e-6f)
        return refuse(QStringLiteral("The contact point has no surface direction."));
    const QVector3D n = pick.normalA / nLen;

    // Contact point.
    QVector3D A = pick.pointA;
    int parent = pick.tipObject;
    if (tipIsModel) {
        A -= float(penetrationDistance) * n;
        if (tipObj->type == TypeHollowedModel)
            parent = tipObj->parent;
    } else if (tipIsSupport) {
        sampledAt(pick.tipObject, A.z(), &rA, &A);
        parent = m_scene->owningModelOf(pick.tipObject);
    }

    // Foot.
    QVector3D B = pick.pointB;
    int footObject = pick.footObject;
    float rB = r0;
    if (mode == 1)
        B = QVector3D(A.x(), A.y(), 0);
    if (branchMode && !tipIsSupport) {
        const QVector<QPair<float, int>> c = branchCandidates(A);
        if (!c.isEmpty()) {
            if (branchCandidate >= c.size() || branchCandidate < 0)
                branchCandidate = 0;
            const float key = c[branchCandidate].first;
            footObject = m_scene->supportIndexMap().at(c[branchCandidate].second);
            const Object *fo = m_scene->object(footObject);
            const float lastZ = fo->support.points.last().z() + fo->move.z();
            const float footZ = std::max(std::max(A.z() - std::max(0.8f * key, 4.5f), 3.0f), lastZ);
            sampledAt(footObject, footZ, &rB, &B);
        }
    }
    const Object *footObj = m_scene->object(footObject);
    const bool footIsSupport = footObj && footObject >= 1 && footObj->type == TypeSupport;
    const bool footIsModel = footObj && footObject >= 1 && footObj->type == TypeModel;
    if (footIsSupport && !(branchMode && !tipIsSupport))
        sampledAt(footObject, B.z(), &rB, &B);

    // Tip.
    const QVector3D d = limitToCone(n, qDegreesToRadians(double(m_params.theta) + 0.1), false);
    const float L = std::min(m_params.h2, 0.5f * (A - B).length());
    const QVector3D T = A + L * d;

    QVector3D F = B;
    if (mode == 1) {
        F = QVector3D(T.x(), T.y(), m_params.h0);
        B = QVector3D(T.x(), T.y(), 0);
    } else if (mode == 2 || mode == 6) {
        const float fl = pick.normalB.length();
        const QVector3D nb = fl > 1e-6f ? pick.normalB / fl : QVector3D(0, 0, 1);
        const QVector3D e = limitToCone(nb, qDegreesToRadians(double(m_params.theta2) + 0.1) + 0.001, true);
        F = B + L * e;
        if (footIsModel)
            rB = 2 * rA;
    } else if (mode == 5) {
        F = QVector3D(B.x(), B.y(), m_params.h0);
    }

    if (A.z() - B.z() > kTallSupportMm && mode != 7) {
        const float k = 1.0f + (A.z() - B.z()) * 0.1f / 10.0f;
        rB = k * r0;
        r1 = k * r1;
    }

    spUnit u;
    u.points << A;
    u.radii << rA;
    const bool footOnGround = !footIsSupport && (footObject == 0 || !footObj || footObj->type == TypeHollowedModel
                                                 || footIsModel);
    const float shortLimit = branchMode ? 6.0f : 4.5f;
    if ((A - B).length() <= shortLimit) {
        if (footIsSupport) {
            u.points << B;
            u.radii << rB;
        } else if (footOnGround) {
            u.points << F << B + QVector3D(0, 0, 0.5f) << B;
            u.radii << r1 << rB << 0.6f * rB;
        }
    } else {
        if (tipIsModel) {
            u.points << T << T - QVector3D(0, 0, 1);
            u.radii << 1.25f * r2 << r2;
        }
        if (footIsSupport) {
            u.points << B;
            u.radii << rB;
        } else if (footIsModel) {
            u.points << F << B;
            u.radii << r1 << std::min(2 * r3, r2);
        } else {
            u.points << F << B + QVector3D(0, 0, 0.5f) << B;
            u.radii << r1 << rB << 0.6f * rB;
        }
    }
    u.tipObjectId = pick.tipObject;
    u.footObjectId = footObject;
    u.parentId = parent;
    u.preview = preview;
    u.thinTip = tipIsSupport ? false : m_params.thinTip;

    for (const QVector3D &p : u.points)
        if (std::abs(p.x()) + std::abs(p.y()) > kReachMm)
            return refuse(QStringLiteral("The support would stand outside the build plate."));
    const QString problem = supportRecordProblem(u);
    if (!problem.isEmpty())
        return refuse(problem);

    if (preview) {
        deleteSupportPreview();
        return addOne(u, false, error) >= 0 ? 1 : 0;
    }
    int made = addOne(u, true, error) >= 0 ? 1 : 0;
    if (flipCopyMode >= 1 && made) {
        const Object *po = m_scene->object(parent);
        const float cx = po ? po->move.x() : 0.0f, cy = po ? po->move.y() : 0.0f;
        auto mirrored = [&](bool mx, bool my) {
            spUnit c = u;
            for (QVector3D &p : c.points) {
                if (my)
                    p.setY(2 * cy - p.y());
                if (mx)
                    p.setX(2 * cx - p.x());
            }
            return c;
        };
        if (flipCopyMode & 1)
            made += addOne(mirrored(false, true), true, nullptr) >= 0;
        if (flipCopyMode & 2)
            made += addOne(mirrored(true, false), true, nullptr) >= 0;
        if (flipCopyMode == 3)
            made += addOne(mirrored(true, true), true, nullptr) >= 0;
    }
    if (!m_batch)
        emit m_scene->modelListChanged();
    return made;
}

void SupportEditor::addSupportSphere()
{
    const float nl = pick.normalA.length();
    if (nl < 1e-6f)
        return;
    const QVector3D d = limitToCone(pick.normalA / nl, qDegreesToRadians(double(m_params.theta) + 0.1), false);
    spUnit u;
    u.points << pick.pointA << pick.pointA + 2 * d;
    u.radii << m_params.r3 << (m_params.thinTip ? 0.5f * m_params.r2 : m_params.r2);
    u.tipObjectId = pick.tipObject;
    u.parentId = m_scene->owningModelOf(pick.tipObject);
    u.preview = true;
    u.thinTip = m_params.thinTip;
    deleteSupportPreview();
    addOne(u, false, nullptr);
}
