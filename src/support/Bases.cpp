#include "support/Bases.h"

#include <QDebug>
#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "scene/Scene.h"
#include "support/BasePieces.h"
#include "support/PolygonOffset.h"

namespace {

// The global base's outline lies this far inside the widened footprint.
constexpr double kGlobalBaseInsetMm = 0.701;
// The footprint is widened by the margin plus this.
constexpr double kGlobalBaseExtraMm = 2.0;

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

bool checkMarginAndThickness(float margin, float t, QString *error)
{
    if (!(margin > 0.0f) || !std::isfinite(margin))
        return fail(error, QStringLiteral("The base margin must be above 0 mm."));
    if (!(t > 0.0f) || !std::isfinite(t))
        return fail(error, QStringLiteral("The base thickness must be above 0 mm."));
    return true;
}

bool fitsOnPlate(const Scene &scene, double sx, double sy, QString *error)
{
    const double px = 2.0 * scene.halfWidthXMm(), py = 2.0 * scene.halfWidthYMm();
    if (sx <= px && sy <= py)
        return true;
    return fail(error, QString::asprintf("The base (%.1f x %.1f mm) is larger than the build plate (%.1f x %.1f mm).",
                                         sx, sy, px, py));
}

} // namespace

int Bases::addRectBase(float margin, float t, int baseShape, QString *error)
{
    if (baseShape != 2) {
        fail(error, QStringLiteral("Unknown base shape."));
        return 0;
    }
    QList<int> ids = m_scene->selection();
    if (ids.isEmpty() && m_scene->currentObject() >= 1)
        ids << m_scene->currentObject();
    QList<int> models;
    for (int id : ids)
        if (const Object *o = m_scene->object(id); o && id >= 1 && o->type == TypeModel && o->bbox.size() == 6)
            models << id;
    if (models.isEmpty()) {
        fail(error, QStringLiteral("There is no selected model to proceed."));
        return 0;
    }
    if (!checkMarginAndThickness(margin, t, error))
        return 0;
    // Check them all first, so a refusal leaves the scene as it was.
    for (int id : models) {
        const QList<float> &b = m_scene->object(id)->bbox;
        if (!fitsOnPlate(*m_scene, std::abs(b[5] - b[4]) + 2.0 * margin, std::abs(b[3] - b[2]) + 2.0 * margin, error))
            return 0;
    }
    int made = 0;
    for (int id : models) {
        const QList<float> b = m_scene->object(id)->bbox;
        const float sx = std::abs(b[5] - b[4]) + 2 * margin, sy = std::abs(b[3] - b[2]) + 2 * margin;
        Object base;
        base.type = TypeBase;
        base.mode = 0;
        base.name = QStringLiteral("RectBase");
        base.parent = id;
        base.baseSize = QVector3D(sx, sy, t);
        base.mesh = std::make_shared<Mesh>(rectBaseMesh(sx, sy, t));
        base.move = QVector3D((b[4] + b[5]) / 2, (b[2] + b[3]) / 2, 0);
        const int baseId = m_scene->addStructureObject(std::move(base));
        if (baseId < 0)
            continue;
        ++made;
        emit m_scene->updateLogWindow(QStringLiteral("RectBase has been added."));
    }
    emit m_scene->modelListChanged();
    return made;
}

int Bases::addRectBase(QVector3D sz)
{
    if (!(sz.x() > 0 && sz.y() > 0 && sz.z() > 0))
        return -1;
    Object base;
    base.type = TypeBase;
    base.mode = 0;
    base.name = QStringLiteral("RectBase");
    base.baseSize = sz;
    base.mesh = std::make_shared<Mesh>(rectBaseMesh(sz.x(), sz.y(), sz.z()));
    const int id = m_scene->addStructureObject(std::move(base));
    emit m_scene->modelListChanged();
    return id;
}

bool Bases::hasGlobalBase() const
{
    for (int i = 1; i < m_scene->objectCount(); ++i)
        if (m_scene->object(i)->type == TypeBase && m_scene->object(i)->name == QLatin1String("GlobalBase"))
            return true;
    return false;
}

int Bases::addGlobalBase(float margin, float t, QString *error)
{
    if (!checkMarginAndThickness(margin, t, error))
        return -1;
    bool anyModel = false;
    for (int i = 1; i < m_scene->objectCount() && !anyModel; ++i)
        anyModel = m_scene->object(i)->type == TypeModel;
    if (!anyModel) {
        fail(error, QStringLiteral("There is no model to proceed."));
        return -1;
    }
    const double pixelMm = double(m_scene->pixelSizeXUm()) / 1000.0;
    const double widenMm = double(margin) + kGlobalBaseExtraMm;
    const Footprint footprint = findBaseContour(*m_scene, false, pixelMm, int(widenMm / pixelMm) + 4);
    QList<QPolygonF> outlines;
    if (!footprint.image.empty())
        outlines = offsetOutlines(widenedFootprintOutlines(footprint, widenMm), -kGlobalBaseInsetMm);
    if (outlines.isEmpty()) {
        fail(error, QStringLiteral("The models have no footprint on the plate; no global base was made."));
        return -1;
    }
    QRectF bounds;
    for (const QPolygonF &o : outlines)
        bounds = bounds.united(o.boundingRect());
    if (!fitsOnPlate(*m_scene, bounds.width(), bounds.height(), error))
        return -1;

    std::vector<MeshPiece> pieces;
    for (const QPolygonF &o : outlines)
        pieces.push_back(prismPiece(o, -0.001f, t + 0.001f));
    m_scene->removeGlobalBase();
    m_globalMarginMm = margin;
    m_globalThicknessMm = t;
    Object base;
    base.type = TypeBase;
    base.mode = 2;
    base.parent = 0;
    base.name = QStringLiteral("GlobalBase");
    base.baseSize = QVector3D(0, 0, t);
    base.mesh = std::make_shared<Mesh>(meshFromPieces(pieces));
    const int id = m_scene->addStructureObject(std::move(base));
    emit m_scene->modelListChanged();
    emit m_scene->updateLogWindow(QStringLiteral("GlobalBase has been added."));
    qDebug() << "Global base was generated";
    return id;
}

int Bases::restoreGlobalBase(QString *error)
{
    return addGlobalBase(m_globalMarginMm, m_globalThicknessMm, error);
}

int Bases::deleteBases()
{
    QList<int> doomed;
    for (int i = 1; i < m_scene->objectCount(); ++i) {
        const Object *o = m_scene->object(i);
        if (o->type == TypeBase && o->name != QLatin1String("RingBase"))
            doomed << i;
    }
    if (!doomed.isEmpty())
        m_scene->removeObjList(doomed);
    emit m_scene->modelListChanged();
    emit m_scene->updateLogWindow(QStringLiteral("All bases have been deleted."));
    return doomed.size();
}

int Bases::createRingBase(const QList<QPolygonF> &sectionOutlines, float zHeight, QString *error)
{
    if (sectionOutlines.size() != 1) {
        fail(error, QStringLiteral("Multiple cross-section detected.\n          Ring base creation aborted."));
        return -1;
    }
    if (!(zHeight > 0.0f)) {
        fail(error, QStringLiteral("A ring base needs a height above the plate."));
        return -1;
    }
    // Merging close points can make a tiny or thin outline cross itself; the skirt is built
    // on what it encloses, which must still be one outline.
    const QList<QPolygonF> simple = simpleOutlines(mergeClosePoints(sectionOutlines.first(), 0.5));
    if (simple.size() > 1) {
        fail(error, QStringLiteral("Multiple cross-section detected.\n          Ring base creation aborted."));
        return -1;
    }
    if (simple.isEmpty() || std::abs(signedAreaMm2(simple.first())) < 1e-3) {
        fail(error, QStringLiteral("The cross-section is too small for a ring base."));
        return -1;
    }
    const QPolygonF outline = simple.first();
    QList<QPolygonF> rings;
    for (double d : {1.301, 0.701, 0.301}) {
        // An outward offset of one outline is one outline (holes it closes are filled).
        const QList<QPolygonF> grown = offsetOutlines({outline}, d);
        if (grown.isEmpty()) {
            fail(error, QStringLiteral("The cross-section is too small for a ring base."));
            return -1;
        }
        rings << *std::max_element(grown.begin(), grown.end(), [](const QPolygonF &a, const QPolygonF &b) {
            return std::abs(signedAreaMm2(a)) < std::abs(signedAreaMm2(b));
        });
    }
    const QRectF bounds = rings.first().boundingRect();
    if (!fitsOnPlate(*m_scene, bounds.width(), bounds.height(), error))
        return -1;
    Mesh mesh = ringBaseMesh(outline, rings, zHeight);
    if (mesh.vertices.empty()) {
        fail(error, QStringLiteral("The cross-section is too small for a ring base."));
        return -1;
    }
    Object base;
    base.type = TypeBase;
    base.mode = 2;
    base.parent = 0;
    base.name = QStringLiteral("RingBase");
    base.mesh = std::make_shared<Mesh>(std::move(mesh));
    const int id = m_scene->addStructureObject(std::move(base));
    emit m_scene->modelListChanged();
    emit m_scene->updateLogWindow(QStringLiteral("RingBase has been added."));
    return id;
}

Footprint findBaseContour(const Scene &scene, bool selectionOnly, double pixelMm, int borderPx)
{
    Footprint f;
    f.pixelMm = pixelMm;
    std::vector<QVector3D> corners;
    double x0 = 1e30, y0 = 1e30, x1 = -1e30, y1 = -1e30;
    for (int i = 1; i < scene.objectCount(); ++i) {
        const Object *o = scene.object(i);
        if (o->type != TypeModel || !o->mesh || (selectionOnly && !scene.selection().contains(i)))
            continue;
        const QMatrix4x4 m = objectMatrix(*o);
        const Mesh &mesh = *o->mesh;
        std::vector<QVector3D> placed(mesh.vertexCount());
        for (std::size_t v = 0; v < placed.size(); ++v) {
            const QVector3D p = m.map(QVector3D(mesh.vertices[3 * v], mesh.vertices[3 * v + 1], mesh.vertices[3 * v + 2]));
            placed[v] = p;
            x0 = std::min(x0, double(p.x()));
            x1 = std::max(x1, double(p.x()));
            y0 = std::min(y0, double(p.y()));
            y1 = std::max(y1, double(p.y()));
        }
        for (std::size_t k = 0; k + 2 < mesh.indices.size(); k += 3) {
            const QVector3D &a = placed[mesh.indices[k]], &b = placed[mesh.indices[k + 1]], &c = placed[mesh.indices[k + 2]];
            // Every vertical line through a closed solid meets faces looking up and faces
            // looking down, so one kind alone covers the footprint (a mirrored object's
            // faces turn the other way, which changes nothing).
            if ((b.x() - a.x()) * (c.y() - a.y()) - (b.y() - a.y()) * (c.x() - a.x()) > 0.0f)
                continue;
            corners.push_back(a);
            corners.push_back(b);
            corners.push_back(c);
        }
    }
    if (corners.empty() || !(pixelMm > 0))
        return f;
    f.originMm = QPointF(x0 - borderPx * pixelMm, y0 - borderPx * pixelMm);
    const int w = int(std::ceil((x1 - x0) / pixelMm)) + 2 * borderPx + 1;
    const int h = int(std::ceil((y1 - y0) / pixelMm)) + 2 * borderPx + 1;
    f.image = cv::Mat::zeros(h, w, CV_8UC1);
    // Sub-pixel corners (8 fraction bits) put each triangle where it lies to 1/256 pixel.
    constexpr int shift = 8;
    const double unit = double(1 << shift) / pixelMm;
    cv::Point tri[3];
    for (std::size_t k = 0; k + 2 < corners.size(); k += 3) {
        for (int c = 0; c < 3; ++c) {
            // Pixel centres sit at half-pixel positions.
            tri[c] = cv::Point(int(std::lround((corners[k + c].x() - f.originMm.x()) * unit - (1 << (shift - 1)))),
                               int(std::lround((corners[k + c].y() - f.originMm.y()) * unit - (1 << (shift - 1)))));
        }
        cv::fillConvexPoly(f.image, tri, 3, cv::Scalar(255), cv::LINE_8, shift);
    }
    return f;
}

QList<QPolygonF> widenedFootprintOutlines(const Footprint &footprint, double widenMm)
{
    QList<QPolygonF> outlines;
    if (footprint.image.empty())
        return outlines;
    // A disc of radius m pixels, as dilating with the (2m + 1)-pixel elliptical element does;
    // the distance transform takes the same time for any margin, the element grows with it.
    const double m = std::floor(widenMm / footprint.pixelMm);
    cv::Mat distance;
    cv::distanceTransform(footprint.image == 0, distance, cv::DIST_L2, cv::DIST_MASK_PRECISE);
    const cv::Mat widened = distance <= m;
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(widened, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_TC89_KCOS);
    for (const std::vector<cv::Point> &c : contours) {
        QPolygonF o;
        for (const cv::Point &p : c)
            o << QPointF(footprint.originMm.x() + (p.x + 0.5) * footprint.pixelMm,
                         footprint.originMm.y() + (p.y + 0.5) * footprint.pixelMm);
        if (o.size() >= 3)
            outlines << counterClockwise(o);
    }
    return outlines;
}
