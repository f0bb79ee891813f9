#include <QSignalSpy>
#include <QtTest>
#include <cmath>

#include "scene/Scene.h"
#include "support/BasePieces.h"
#include "support/Bases.h"
#include "support_solids.h"

namespace {

std::vector<int> indicesOf(const Mesh &m) { return std::vector<int>(m.indices.begin(), m.indices.end()); }

// The world position of every vertex of an object.
std::vector<QVector3D> worldVertices(const Object &o)
{
    std::vector<QVector3D> out;
    const QMatrix4x4 m = objectMatrix(o);
    for (std::size_t v = 0; v + 2 < o.mesh->vertices.size(); v += 3)
        out.push_back(m.map(QVector3D(o.mesh->vertices[v], o.mesh->vertices[v + 1], o.mesh->vertices[v + 2])));
    return out;
}

bool hasVertexNear(const std::vector<QVector3D> &vs, QVector3D p, float tol = 1e-3f)
{
    for (const QVector3D &v : vs)
        if ((v - p).length() < tol)
            return true;
    return false;
}

QPolygonF square(double cx, double cy, double side)
{
    const double h = side / 2;
    return QPolygonF({QPointF(cx - h, cy - h), QPointF(cx + h, cy - h), QPointF(cx + h, cy + h), QPointF(cx - h, cy + h)});
}

int countNamed(const Scene &s, const QString &name)
{
    int n = 0;
    for (int i = 1; i < s.objectCount(); ++i)
        n += s.object(i)->name == name;
    return n;
}

void verifySolid(const Mesh &m)
{
    QCOMPARE(closednessProblem(indicesOf(m)), QString());
    QVERIFY(signedVolume(m) > 0);
}

} // namespace

class TestBases : public QObject
{
    Q_OBJECT
private slots:
    void rectangularBaseSizeAndCorners();
    void rectangularBaseRefusals();
    void globalBaseFollowsTheFootprint();
    void globalBaseRefusals();
    void ringBaseWidensTowardsThePlate();
    void ringBaseNeedsOneOutline();
    void deleteBasesSparesRingBases();
    void outlinesCloseIntoSolids();
};

void TestBases::rectangularBaseSizeAndCorners()
{
    Scene scene;
    Bases bases(&scene);
    const int model = addBoxModel(scene, {20, 10, 5});
    scene.changeSelObj({model}, model);
    QSignalSpy log(&scene, &Scene::updateLogWindow);
    QString error;
    QCOMPARE(bases.addRectBase(2.0f, 1.0f, 2, &error), 1);
    QVERIFY(error.isEmpty());
    const int id = scene.objectCount() - 1;
    const Object &base = *scene.object(id);
    QCOMPARE(base.name, QString("RectBase"));
    QCOMPARE(base.type, int(TypeBase));
    QCOMPARE(base.mode, 0);
    QCOMPARE(base.parent, model);
    QCOMPARE(base.baseSize, QVector3D(24, 14, 1));
    QVERIFY(log.count() >= 1 && log.last().at(0).toString() == "RectBase has been added.");
    verifySolid(*base.mesh);

    // 24 × 14 mm centred under the model, on the plate; the corners rise 1.2 mm above it.
    const QList<float> &b = base.bbox;
    const QList<float> &mb = scene.object(model)->bbox;
    QVERIFY(qAbs(b[4] - (mb[4] - 2)) < 1e-4 && qAbs(b[5] - (mb[5] + 2)) < 1e-4);
    QVERIFY(qAbs(b[2] - (mb[2] - 2)) < 1e-4 && qAbs(b[3] - (mb[3] + 2)) < 1e-4);
    QVERIFY(qAbs(b[1]) < 1e-5 && qAbs(b[0] - 2.2f) < 1e-4);

    // Corner profile: on the corner's arc (radius 2 around (±10, ±5) from the base centre) the
    // bottom lies 1.2·sin²(2a) above the plate: 0 at the sides, 0.3 at 15°, 1.2 on the diagonal.
    const float cx = (b[4] + b[5]) / 2, cy = (b[2] + b[3]) / 2;
    const std::vector<QVector3D> vs = worldVertices(base);
    for (int q = 0; q < 4; ++q) {
        const float sx = (q == 0 || q == 3) ? 1 : -1, sy = q < 2 ? 1 : -1;
        const QVector3D centre(cx + sx * 10, cy + sy * 5, 0);
        const QVector3D diag(sx * float(M_SQRT1_2) * 2, sy * float(M_SQRT1_2) * 2, 1.2f);
        QVERIFY2(hasVertexNear(vs, centre + diag), qPrintable(QString("corner %1").arg(q)));
        QVERIFY(hasVertexNear(vs, centre + diag + QVector3D(0, 0, 1)));
        QVERIFY(hasVertexNear(vs, centre));
    }
    const float a15 = float(M_PI / 12);
    QVERIFY(hasVertexNear(vs, QVector3D(cx + 10 + 2 * std::cos(a15), cy + 5 + 2 * std::sin(a15), 0.3f)));
    QVERIFY(hasVertexNear(vs, QVector3D(cx + 12, cy + 5, 0)));
    QVERIFY(hasVertexNear(vs, QVector3D(cx + 10, cy + 7, 0)));

    // A scene file's base: the given size at the origin.
    const int loaded = bases.addRectBase(QVector3D(30, 40, 2));
    QVERIFY(loaded > id);
    QVERIFY(qAbs(scene.object(loaded)->bbox[5] - 15) < 1e-4 && qAbs(scene.object(loaded)->bbox[2] + 20) < 1e-4);
    QCOMPARE(scene.object(loaded)->parent, 0);
}

void TestBases::rectangularBaseRefusals()
{
    Scene scene;
    scene.setProjector(400, 400, 50, 50);   // a 20 × 20 mm plate
    Bases bases(&scene);
    QString error;
    QCOMPARE(bases.addRectBase(1, 1, 2, &error), 0);
    QCOMPARE(error, QString("There is no selected model to proceed."));

    const int model = addBoxModel(scene, {15, 10, 5});
    scene.changeSelObj({model}, model);
    const int before = scene.objectCount();
    for (auto [margin, t] : {std::pair<float, float>{0, 1}, {-1, 1}, {1, 0}, {1, -0.5f}, {NAN, 1}}) {
        error.clear();
        QCOMPARE(bases.addRectBase(margin, t, 2, &error), 0);
        QVERIFY(!error.isEmpty());
        QCOMPARE(scene.objectCount(), before);
    }
    // 15 + 2·3 = 21 mm does not fit on the 20 mm plate; 15 + 2·2 does.
    QCOMPARE(bases.addRectBase(3, 1, 2, &error), 0);
    QVERIFY(error.contains("larger than the build plate"));
    QCOMPARE(scene.objectCount(), before);
    QCOMPARE(bases.addRectBase(2, 1, 2, &error), 1);
    // A base is not a model: selecting only a base makes nothing.
    scene.changeSelObj({before}, before);
    QCOMPARE(bases.addRectBase(1, 1, 2, &error), 0);
}

void TestBases::globalBaseFollowsTheFootprint()
{
    Scene scene;
    scene.setProjector(1920, 1080, 50, 50);
    Bases bases(&scene);
    addBoxModel(scene, {10, 20, 5});
    QSignalSpy log(&scene, &Scene::updateLogWindow);
    QString error;
    const int id = bases.addGlobalBase(1.0f, 0.8f, &error);
    QVERIFY2(id > 0, qPrintable(error));
    const Object &base = *scene.object(id);
    QCOMPARE(base.name, QString("GlobalBase"));
    QCOMPARE(base.type, int(TypeBase));
    QCOMPARE(base.mode, 2);
    QCOMPARE(base.parent, 0);
    QCOMPARE(log.last().at(0).toString(), QString("GlobalBase has been added."));
    verifySolid(*base.mesh);

    // The footprint widened by margin + 2 mm, then inset by 0.701 mm: 2.299 mm around the box,
    // with corners rounded to that radius; a pixel of 50 µm is the tolerance.
    const float reach = 1.0f + 2.0f - 0.701f;
    const QList<float> &b = base.bbox;
    QVERIFY2(qAbs(b[5] - (5 + reach)) < 0.06 && qAbs(b[4] + (5 + reach)) < 0.06, qPrintable(QString::number(b[5])));
    QVERIFY(qAbs(b[3] - (10 + reach)) < 0.06 && qAbs(b[2] + (10 + reach)) < 0.06);
    QVERIFY(qAbs(b[1] + 0.001f) < 1e-5 && qAbs(b[0] - 0.801f) < 1e-5);
    const double area = (10 + 2 * reach) * (20 + 2 * reach) - (4 - M_PI) * reach * reach;
    QVERIFY2(qAbs(signedVolume(*base.mesh) / (area * 0.802) - 1) < 0.015, qPrintable(QString::number(signedVolume(*base.mesh))));
    QCOMPARE(bases.globalMarginMm(), 1.0f);
    QCOMPARE(bases.globalThicknessMm(), 0.8f);

    // Again, and once more through the support-mode restore: still one global base.
    QVERIFY(bases.addGlobalBase(1.5f, 0.5f) > 0);
    QVERIFY(bases.restoreGlobalBase() > 0);
    QCOMPARE(countNamed(scene, "GlobalBase"), 1);
    QCOMPARE(bases.globalMarginMm(), 1.5f);

    // Two models far apart get two outlines in the one object.
    const int second = addBoxModel(scene, {4, 4, 4}, "small.stl");
    scene.object(second)->move += QVector3D(30, 0, 0);
    scene.refreshAABB(second, 0);
    QVERIFY(bases.addGlobalBase(1, 1) > 0);
    QCOMPARE(countNamed(scene, "GlobalBase"), 1);
    const Object *g = nullptr;
    for (int i = 1; i < scene.objectCount(); ++i)
        if (scene.object(i)->name == "GlobalBase")
            g = scene.object(i);
    QVERIFY(g && g->bbox[5] > 32 + 2.2 && g->bbox[5] < 32 + 2.4);
    verifySolid(*g->mesh);
}

void TestBases::globalBaseRefusals()
{
    Scene scene;
    scene.setProjector(400, 400, 50, 50);   // 20 × 20 mm
    Bases bases(&scene);
    QString error;
    QCOMPARE(bases.addGlobalBase(1, 1, &error), -1);
    QCOMPARE(error, QString("There is no model to proceed."));
    addBoxModel(scene, {8, 8, 3});
    const int before = scene.objectCount();
    QCOMPARE(bases.addGlobalBase(0, 1, &error), -1);
    QCOMPARE(bases.addGlobalBase(1, -1, &error), -1);
    QCOMPARE(scene.objectCount(), before);
    // 8 + 2·(5 + 2 − 0.701) mm is wider than the plate.
    QCOMPARE(bases.addGlobalBase(5, 1, &error), -1);
    QVERIFY(error.contains("larger than the build plate"));
    QCOMPARE(scene.objectCount(), before);
    // A model flat as paper standing on edge has no footprint to speak of, yet its base is sound.
    Scene flat;
    Bases flatBases(&flat);
    addBoxModel(flat, {10, 0.001f, 5});
    const int id = flatBases.addGlobalBase(1, 1, &error);
    QVERIFY2(id > 0, qPrintable(error));
    verifySolid(*flat.object(id)->mesh);
}

void TestBases::ringBaseWidensTowardsThePlate()
{
    Scene scene;
    Bases bases(&scene);
    addBoxModel(scene, {10, 10, 10});
    QSignalSpy log(&scene, &Scene::updateLogWindow);
    QString error;
    // A square outline with a few points closer than 0.5 mm, which are merged.
    QPolygonF outline = square(0, 0, 10);
    outline.insert(1, QPointF(-4.9, -5));
    outline.insert(3, QPointF(5, -4.8));
    const int id = bases.createRingBase({outline}, 6.0f, &error);
    QVERIFY2(id > 0, qPrintable(error));
    const Object &ring = *scene.object(id);
    QCOMPARE(ring.name, QString("RingBase"));
    QCOMPARE(ring.type, int(TypeBase));
    QCOMPARE(ring.mode, 2);
    QCOMPARE(log.last().at(0).toString(), QString("RingBase has been added."));
    verifySolid(*ring.mesh);

    // Widest at the plate (1.301 mm beyond the outline), the outline itself at the top; in
    // between the bands at a third and two thirds of the height.
    QVERIFY(qAbs(ring.bbox[5] - 6.301f) < 1e-3 && qAbs(ring.bbox[2] + 6.301f) < 1e-3);
    QVERIFY(qAbs(ring.bbox[1] + 0.001f) < 1e-5 && qAbs(ring.bbox[0] - 6.0f) < 1e-5);
    const std::vector<QVector3D> vs = worldVertices(ring);
    auto widestAt = [&vs](float z) {
        float x = -1;
        for (const QVector3D &v : vs)
            if (qAbs(v.z() - z) < 1e-4)
                x = std::max(x, v.x());
        return x;
    };
    QVERIFY(qAbs(widestAt(6.0f * 0.333f) - 5.701f) < 1e-3);
    QVERIFY(qAbs(widestAt(6.0f * 0.666f) - 5.301f) < 1e-3);
    QVERIFY(qAbs(widestAt(6.0f) - 5.0f) < 1e-3);
    // The inside follows the outline straight down: nothing lies inside the square.
    for (const QVector3D &v : vs)
        QVERIFY(std::max(qAbs(v.x()), qAbs(v.y())) > 5.0f - 1e-3f);
    // The ring's volume: the band widens linearly between the levels (trapezoid rule on the
    // square's offsets, whose area grows as 40·d + π·d² for an offset d).
    auto areaAt = [](double d) { return 40 * d + M_PI * d * d; };
    const double h = 6.0, z1 = h * 0.333, z2 = h * 0.666;
    const double approx = (z1 + 0.001) * (areaAt(1.301) + areaAt(0.701)) / 2 + (z2 - z1) * (areaAt(0.701) + areaAt(0.301)) / 2
                          + (h - z2) * areaAt(0.301) / 2;
    QVERIFY2(qAbs(signedVolume(*ring.mesh) / approx - 1) < 0.05, qPrintable(QString::number(signedVolume(*ring.mesh))));
}

void TestBases::ringBaseNeedsOneOutline()
{
    Scene scene;
    Bases bases(&scene);
    addBoxModel(scene, {10, 10, 10});
    const int before = scene.objectCount();
    QString error;
    QCOMPARE(bases.createRingBase({square(-5, 0, 3), square(5, 0, 3)}, 4, &error), -1);
    QCOMPARE(error, QString("Multiple cross-section detected.\n          Ring base creation aborted."));
    QCOMPARE(bases.createRingBase({}, 4, &error), -1);
    QCOMPARE(error, QString("Multiple cross-section detected.\n          Ring base creation aborted."));
    // An outline that merges to fewer than three points, and a height on the plate.
    error.clear();
    QCOMPARE(bases.createRingBase({square(0, 0, 0.3)}, 4, &error), -1);
    QVERIFY(!error.isEmpty());
    QCOMPARE(bases.createRingBase({square(0, 0, 5)}, 0, &error), -1);
    // A figure eight (the outline crossing itself) is two lobes: refused like two outlines.
    const QPolygonF eight({QPointF(-5, -2), QPointF(5, 2), QPointF(5, -2), QPointF(-5, 2)});
    QCOMPARE(bases.createRingBase({eight}, 4, &error), -1);
    QCOMPARE(error, QString("Multiple cross-section detected.\n          Ring base creation aborted."));
    QCOMPARE(scene.objectCount(), before);
    // A notch folding back on itself still makes one sound outline, and a sound skirt.
    const QPolygonF folded({QPointF(-5, -5), QPointF(5, -5), QPointF(5, 5), QPointF(0, 5), QPointF(0, -1),
                            QPointF(0.2, 5), QPointF(-5, 5)});
    const int id = bases.createRingBase({folded}, 4, &error);
    QVERIFY2(id > 0, qPrintable(error));
    verifySolid(*scene.object(id)->mesh);
}

void TestBases::deleteBasesSparesRingBases()
{
    Scene scene;
    Bases bases(&scene);
    QVERIFY(bases.addRectBase(QVector3D(20, 20, 1)) == 1);   // the first object after the plate
    const int model = addBoxModel(scene, {10, 10, 10});
    scene.changeSelObj({model}, model);
    QCOMPARE(bases.addRectBase(1, 1), 1);
    QVERIFY(bases.createRingBase({square(0, 0, 10)}, 3) > 0);
    QVERIFY(bases.addGlobalBase(1, 1) > 0);
    QSignalSpy log(&scene, &Scene::updateLogWindow);
    QCOMPARE(bases.deleteBases(), 3);
    QCOMPARE(scene.objectCount(), 3);
    QCOMPARE(scene.object(1)->type, int(TypeModel));
    QCOMPARE(scene.object(2)->name, QString("RingBase"));
    QCOMPARE(log.last().at(0).toString(), QString("All bases have been deleted."));
    // Undo brings them back.
    scene.undo();
    QCOMPARE(scene.objectCount(), 6);
}

void TestBases::outlinesCloseIntoSolids()
{
    // Concave outlines, nearly straight runs and a smallest rectangular base all give closed
    // solids: caps triangulated without gaps, corners kept apart.
    QPolygonF star;
    for (int k = 0; k < 20; ++k) {
        const double a = k * M_PI / 10, r = k % 2 ? 2.0 : 6.0;
        star << QPointF(r * std::cos(a), r * std::sin(a));
    }
    QPolygonF comb({QPointF(0, 0), QPointF(10, 0), QPointF(10, 1), QPointF(10, 2), QPointF(10, 3), QPointF(8, 3),
                    QPointF(8, 1), QPointF(6, 1), QPointF(6, 3), QPointF(4, 3), QPointF(4, 1), QPointF(2, 1),
                    QPointF(2, 3), QPointF(0, 3)});
    // Areas by hand: 20 triangles of sides 6 and 2 at 18°; a 10 × 3 bar less two 2 × 2 notches.
    const double starArea = 20 * 0.5 * 6 * 2 * std::sin(M_PI / 10), combArea = 30 - 8;
    for (const auto &[o, area] : {std::pair<QPolygonF, double>{star, starArea}, {comb, combArea}}) {
        const MeshPiece p = prismPiece(o, 0, 1);
        QCOMPARE(closednessProblem(p.indices), QString());
        QVERIFY(qAbs(signedVolume(p.vertices, p.indices) - area) < 1e-4);
    }
    for (const QVector3D &size : {QVector3D(0.2f, 0.2f, 0.1f), QVector3D(3, 50, 0.5f), QVector3D(4, 4, 2)})
        verifySolid(rectBaseMesh(size.x(), size.y(), size.z()));
}

QTEST_MAIN(TestBases)
#include "tst_bases.moc"
