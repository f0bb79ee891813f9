#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include "support_scene.h"
#include "scene/Arrange.h"
#include "scene/Scene.h"

// Arranging models on the plate and where duplicate puts its copies, on a 100 × 50 mm plate
// (2000 × 1000 pixels of 50 µm) with 2 mm between models; positions worked out by hand.
namespace {

bool near(float a, float b) { return std::abs(a - b) < 1e-3f; }

// x and y extent of an object's box.
void compareFootprint(const Scene &s, int id, float minX, float maxX, float minY, float maxY)
{
    const QList<float> &b = s.object(id)->bbox;
    QVERIFY2(near(b[4], minX) && near(b[5], maxX) && near(b[2], minY) && near(b[3], maxY),
             qPrintable(QString("object %1: x %2 … %3, y %4 … %5").arg(id).arg(b[4]).arg(b[5]).arg(b[2]).arg(b[3])));
}

Scene *plateScene()
{
    auto *s = new Scene;
    s->setLoadPauseMs(0);
    s->setProjector(2000, 1000, 50, 50);   // half-widths 50 × 25 mm
    return s;
}

} // namespace

class ArrangeTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;

private slots:
    void initTestCase() { qputenv("ORVELL3D_DATA_DIR", m_data.path().toLocal8Bit()); }

    void skylinePacksLowestThenLeftmost()
    {
        // 60 × 30 at the origin; 30 × 30 does not fit on top of it (30 + 2 + 30 > 50) and goes
        // right; 40 × 15 fits on top (32 + 15 ≤ 50); 80 × 40 fits nowhere any more.
        const auto places = packRectangles({{60, 30}, {30, 30}, {40, 15}, {80, 40}}, 100, 50, 2);
        QCOMPARE(int(places.size()), 4);
        QVERIFY(places[0] && near(places[0]->xMm, 0) && near(places[0]->yMm, 0));
        QVERIFY(places[1] && near(places[1]->xMm, 62) && near(places[1]->yMm, 0));
        QVERIFY(places[2] && near(places[2]->xMm, 0) && near(places[2]->yMm, 32));
        QVERIFY(!places[3]);
        // Two halves with the gap between them fill the plate exactly.
        const auto exact = packRectangles({{49, 50}, {49, 50}}, 100, 50, 2);
        QVERIFY(exact[0] && exact[1] && near(exact[1]->xMm, 51));
        QVERIFY(!packRectangles({{100.5f, 10}}, 100, 50, 2)[0]);
    }

    void arrangePlacesLargestFirstCentredWithChildren()
    {
        std::unique_ptr<Scene> s(plateScene());
        // Loaded smallest first, all centred on the plate on top of each other.
        const int small = addBox(*s, {}, {40, 15, 3}, "small.stl");
        const int middle = addBox(*s, {}, {30, 30, 10}, "middle.stl");
        const int large = addBox(*s, {}, {60, 30, 5}, "large.stl");
        const int support = addChild(*s, middle, TypeSupport, "Support_0000");
        s->object(middle)->rotation = QVector3D(0, 0, 90);   // a square turned: same footprint
        s->refreshAABB(middle, 0);
        s->moveWithChildren(small, QVector3D(0, 0, 4));      // lifted on purpose

        const ArrangeResult r = arrangeModels(*s);
        QCOMPARE(r.placed, 3);
        QVERIFY(r.unplaced.isEmpty());
        QVERIFY(!s->isOutOfBuild());
        // Packed as above, the block spans 92 × 47 mm and is centred: shifted by (−46, −23.5).
        compareFootprint(*s, large, -46, 14, -23.5f, 6.5f);
        compareFootprint(*s, middle, 16, 46, -23.5f, 6.5f);
        compareFootprint(*s, small, -46, -6, 8.5f, 23.5f);
        compareFootprint(*s, support, 30.5f, 31.5f, -9, -8);   // went along with its model
        QCOMPARE(s->object(middle)->rotation, QVector3D(0, 0, 90));
        QVERIFY(near(s->object(small)->bbox[1], 4) && near(s->object(large)->bbox[1], 0));

        // One undo step puts them all back where they were, the support with its model.
        s->undo();
        compareFootprint(*s, large, -30, 30, -15, 15);
        compareFootprint(*s, middle, -15, 15, -15, 15);
        compareFootprint(*s, support, -0.5f, 0.5f, -0.5f, 0.5f);
        arrangeModels(*s);

        // One more that cannot fit: named, and set beside the plate where it overlaps nothing.
        const int huge = addBox(*s, {}, {110, 20, 2}, "huge.stl");
        const ArrangeResult again = arrangeModels(*s);
        QCOMPARE(again.unplaced, QStringList{"huge.stl"});
        QCOMPARE(again.placed, 3);
        QVERIFY(near(s->object(huge)->bbox[4], 54));
        QVERIFY(s->isOutOfBuild());
    }

    void duplicateUsesFreeRoomOnThePlate()
    {
        std::unique_ptr<Scene> s(plateScene());
        const int a = addBox(*s, {}, {30, 20, 5}, "a.stl");   // x −15 … 15
        s->changeSelObj({a}, a);
        s->on_duplicateObj(a);
        const int b = s->objectCount() - 1;
        compareFootprint(*s, b, 17, 47, -10, 10);          // ceil(30) + 2 along x: free and on the plate

        s->changeSelObj({b}, b);
        s->on_duplicateObj(b);
        const int c = s->objectCount() - 1;
        compareFootprint(*s, c, -47, -17, -10, 10);        // 49 … 79 is off the plate: left of a instead
        QVERIFY(!s->isOutOfBuild());

        // No room left: beside its source all the same, and the build-area check still holds.
        s->changeSelObj({c}, c);
        s->on_duplicateObj(c);
        compareFootprint(*s, s->objectCount() - 1, -15, 15, -10, 10);
    }
};

QTEST_GUILESS_MAIN(ArrangeTest)
#include "tst_arrange.moc"
