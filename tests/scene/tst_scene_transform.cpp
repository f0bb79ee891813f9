#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include "support_scene.h"
#include "scene/Scene.h"

// Scale, rotation and mirror of a placed model: the lowest point keeps its height, checked
// against boxes worked out by hand from the transform
//   T(move) · T(0, 0, centre.z · scale.z) · Rz · Rx · Ry · S(scale) · M · T(−centre).
namespace {

bool near(float a, float b) { return std::abs(a - b) < 1e-3f; }

void compareBox(const Object *o, std::initializer_list<float> expected)
{
    QCOMPARE(o->bbox.size(), 6);
    int k = 0;
    for (float e : expected) {
        QVERIFY2(near(o->bbox[k], e), qPrintable(QString("bbox[%1] = %2, expected %3").arg(k).arg(o->bbox[k]).arg(e)));
        ++k;
    }
}

// The height the Z field shows.
float shownZ(const Object *o) { return o->move.z() + o->moveZoff; }

// A tetrahedron whose corners make its rotated bottom depend on the mirror.
Mesh wedgeMesh()
{
    std::vector<float> v{0, 0, 0, 10, 0, 4, 0, 6, 8, 10, 6, 8};
    std::vector<uint32_t> idx{0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3};
    std::vector<uint32_t> rev = reverseWinding(idx);
    return Mesh(std::move(v), std::move(idx), std::move(rev));
}

} // namespace

class SceneTransformTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;

private slots:
    void initTestCase() { qputenv("ORVELL3D_DATA_DIR", m_data.path().toLocal8Bit()); }

    void scaledAndTurnedModelStaysOnThePlate()
    {
        QuickScene s;
        s.setProjector(4000, 4000, 50, 50);
        // An off-centre box, 4 × 6 × 8 mm, its centre at (12, 23, 9) in file coordinates.
        s.load_mesh({boxMesh({10, 20, 5}, {14, 26, 13})}, "/m/block.stl");
        const int id = 1;
        Object *o = s.object(id);
        compareBox(o, {8, 0, -3, 3, -2, 2});
        s.load_mesh({boxMesh({0, 0, 0}, {1, 1, 1})}, "/m/hollow.stl");
        Object *child = s.object(2);
        child->type = TypeHollowedModel;
        child->parent = id;
        const float childZ = child->move.z();
        s.moveWithChildren(id, QVector3D(7, 0, 0));

        // Half the height: the transform lifts by centre.z · scale.z = 4.5 instead of 9, which
        // would leave the bottom 2.5 mm under the plate (−2.5 … 1.5).
        QVERIFY(s.setObjectScale(id, QVector3D(1, 1, 0.5f)));
        compareBox(o, {4, 0, -3, 3, 5, 9});
        QVERIFY(near(shownZ(o), 0));
        QVERIFY(near(child->move.z() - childZ, 2.5f));   // went up with the model

        // Rx(90)·Ry(90) sends the half-extents (2, 3, 2) to x ← z, y ← x, z ← y; the other
        // order would give x ← y (4 … 10 here) instead.
        QVERIFY(s.setObjectRotation(id, QVector3D(90, 90, 0)));
        compareBox(o, {6, 0, -2, 2, 5, 9});
        QVERIFY(near(shownZ(o), 0));

        // Lifted 5 mm on purpose: it stays 5 mm up through the next scale.
        s.moveWithChildren(id, QVector3D(0, 0, 5));
        QVERIFY(near(shownZ(o), 5));
        QVERIFY(s.setObjectScale(id, QVector3D(1, 0.5f, 0.3f)));   // half-extents (2, 1.5, 1.2)
        compareBox(o, {8, 5, -2, 2, 5.8f, 8.2f});
        QVERIFY(near(shownZ(o), 5));

        // Undo takes back the last scale, not the turn made after it; the height stays.
        QVERIFY(s.setObjectRotation(id, QVector3D(90, 90, 90)));
        s.undo();
        QCOMPARE(o->scale, QVector3D(1, 1, 0.5f));
        QCOMPARE(o->rotation, QVector3D(90, 90, 90));
        compareBox(o, {11, 5, -2, 2, 5, 9});   // Rz(90) swaps the two 2 mm half-extents of x and y
        QVERIFY(near(shownZ(o), 5));
    }

    void mirroredModelIsMeasuredAndStaysOnThePlate()
    {
        QuickScene s;
        s.setProjector(4000, 4000, 50, 50);
        // Centred corners (−5, −3, −4), (5, −3, 0), (−5, 3, 4), (5, 3, 4). Turned 45° about y,
        // a corner's height is (z − x)/√2 above the lift, mirrored (z + x)/√2: bottom −5/√2
        // and top 9/√2 unmirrored, −9/√2 and 9/√2 mirrored.
        s.load_mesh({wedgeMesh()}, "/m/wedge.stl");
        Object *o = s.object(1);
        const float r = float(std::sqrt(0.5));
        QVERIFY(s.setObjectRotation(1, QVector3D(0, 45, 0)));
        QVERIFY(near(o->bbox[1], 0) && near(o->bbox[0], 14 * r));
        QVERIFY(s.setObjectFlip(1, true));
        QVERIFY(o->flip);
        QVERIFY(near(o->bbox[1], 0));
        QVERIFY(near(o->bbox[0], 18 * r));
        QVERIFY(near(shownZ(o), 0));
        s.undo();
        QVERIFY(!o->flip);
        QVERIFY(near(o->bbox[1], 0) && near(o->bbox[0], 14 * r));

        // Not for the build plate or a missing object.
        QVERIFY(!s.setObjectFlip(0, true));
        QVERIFY(!s.setObjectScale(5, QVector3D(2, 2, 2)));
    }
};

QTEST_GUILESS_MAIN(SceneTransformTest)
#include "tst_scene_transform.moc"
