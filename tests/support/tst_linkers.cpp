#include <QSignalSpy>
#include <QtTest>
#include <cmath>

#include "scene/Scene.h"
#include "support/SupportEditor.h"
#include "support/SupportLinkers.h"
#include "support_solids.h"

namespace {

// A plate support as automatic supports make it: contact, tip end, top of the body at
// bodyTopZ, top of the foot at 1 mm, then 0.5 and 0.
spUnit plateSupport(QVector3D at, float bodyTopZ, int model)
{
    spUnit u;
    u.points = {at + QVector3D(0, 0, bodyTopZ + 2), at + QVector3D(0, 0, bodyTopZ + 1), at + QVector3D(0, 0, bodyTopZ),
                QVector3D(at.x(), at.y(), 1.0f), QVector3D(at.x(), at.y(), 0.5f), QVector3D(at.x(), at.y(), 0)};
    u.radii = {0.25f, 0.6f, 0.5f, 0.6f, 1.0f, 0.6f};
    u.tipObjectId = model;
    u.parentId = model;
    return u;
}

int addSupport(Scene &scene, const spUnit &u)
{
    SupportMeshBuilder builder;
    return scene.addSupportObject(u, builder.build(u));
}

int linkCount(const QVector<SupportLinkers::Pair> &pairs, int id)
{
    int n = 0;
    for (const auto &p : pairs)
        n += (p.first == id) + (p.second == id);
    return n;
}

} // namespace

class TestLinkers : public QObject
{
    Q_OBJECT
private slots:
    void crossingBracesLevelByLevel();
    void atMostTwoLinksNearestFirst();
    void onlyNearFullSupportsOfOneModel();
    void braceEndsFollowALeaningBody();
    void refusalsAndRemoval();
};

void TestLinkers::crossingBracesLevelByLevel()
{
    // Two plate supports 3 mm apart whose bodies start at 20 mm, D = 5: ⌊(20 + 1) / 5⌋ = 4 levels.
    Scene scene;
    const int model = addBoxModel(scene, {10, 10, 5});
    const int a = addSupport(scene, plateSupport({0, 0, 0}, 20, model));
    const int b = addSupport(scene, plateSupport({3, 0, 0}, 20, model));
    SupportLinkers linkers(&scene);
    const int id = linkers.generateSupportLinkers(5);
    QVERIFY(id > 0);
    const Object &obj = *scene.object(id);
    QCOMPARE(obj.name, QString("SupportLinkers"));
    QCOMPARE(obj.type, int(TypeSupportLinker));
    QCOMPARE(obj.mode, 2);
    QCOMPARE(closednessProblem(std::vector<int>(obj.mesh->indices.begin(), obj.mesh->indices.end())), QString());
    QVERIFY(signedVolume(*obj.mesh) > 0);

    const QVector<SupportLinkers::Brace> &braces = linkers.braces();
    QCOMPARE(braces.size(), 8);
    // Level k spans upper = 20 − 5k down to lower = upper − 3, each brace reaching 1 mm beyond.
    for (int k = 0; k < 4; ++k) {
        const float upper = 20 - 5.0f * k, lower = upper - 3;
        QCOMPARE(braces[2 * k].first, QVector3D(0, 0, upper + 1));
        QCOMPARE(braces[2 * k].second, QVector3D(3, 0, lower - 1));
        QCOMPARE(braces[2 * k + 1].first, QVector3D(0, 0, lower - 1));
        QCOMPARE(braces[2 * k + 1].second, QVector3D(3, 0, upper + 1));
    }
    // Brace radius 0.3·√(L / 4.5): the mesh reaches that far around the brace's ends.
    const float length = std::sqrt(9.0f + 25.0f);
    QVERIFY(qAbs(SupportLinkers::braceRadiusMm(4.5f) - 0.3f) < 1e-6);
    const float r = SupportLinkers::braceRadiusMm(length);
    // The top ends' circles tilt with the brace: the mesh reaches up to r·3/L above 21 mm
    // (a little less where no corner of the 12-gon sits at the circle's top).
    const float rise = r * 3 / length;
    QVERIFY(obj.bbox[0] <= 21 + rise + 1e-4f && obj.bbox[0] >= 21 + rise * std::cos(float(M_PI / 12)) - 1e-4f);
    // Made again: still one linker object.
    QVERIFY(linkers.generateSupportLinkers(5) > 0);
    int count = 0;
    for (int i = 1; i < scene.objectCount(); ++i)
        count += scene.object(i)->type == TypeSupportLinker;
    QCOMPARE(count, 1);
    Q_UNUSED(a) Q_UNUSED(b)
}

void TestLinkers::atMostTwoLinksNearestFirst()
{
    // Four in a row 2 mm apart, D = 3: the middle ones get two links, the ends one.
    Scene scene;
    const int model = addBoxModel(scene, {10, 10, 5});
    QList<int> row;
    for (int k = 0; k < 4; ++k)
        row << addSupport(scene, plateSupport({2.0f * k, 0, 0}, 10, model));
    SupportLinkers linkers(&scene);
    QVector<SupportLinkers::Pair> pairs = linkers.linkedPairs(3);
    QCOMPARE(pairs.size(), 3);
    QCOMPARE(linkCount(pairs, row[0]), 1);
    QCOMPARE(linkCount(pairs, row[1]), 2);
    QCOMPARE(linkCount(pairs, row[2]), 2);
    QCOMPARE(linkCount(pairs, row[3]), 1);

    // A 2 mm square, D = 3: the four sides (2 mm) come before the diagonals (2.83 mm) and use
    // up every support's two links, so no diagonal is braced.
    Scene square;
    const int m2 = addBoxModel(square, {10, 10, 5});
    const QList<QVector3D> corners = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
    for (const QVector3D &c : corners)
        addSupport(square, plateSupport(c, 10, m2));
    SupportLinkers squareLinkers(&square);
    pairs = squareLinkers.linkedPairs(3);
    QCOMPARE(pairs.size(), 4);
    for (const auto &p : pairs)
        QVERIFY(qAbs(p.distanceMm - 2) < 1e-5);
}

void TestLinkers::onlyNearFullSupportsOfOneModel()
{
    Scene scene;
    const int m1 = addBoxModel(scene, {10, 10, 5}, "one.stl");
    const int m2 = addBoxModel(scene, {10, 10, 5}, "two.stl");
    addSupport(scene, plateSupport({0, 0, 0}, 10, m1));
    addSupport(scene, plateSupport({2, 0, 0}, 10, m2));    // near, other model
    addSupport(scene, plateSupport({0, 8, 0}, 10, m1));    // same model, too far
    spUnit shortOne = plateSupport({0, -2, 0}, 10, m1);      // near, but only four points
    shortOne.points.resize(4);
    shortOne.radii.resize(4);
    addSupport(scene, shortOne);
    SupportLinkers linkers(&scene);
    QVERIFY(linkers.linkedPairs(5).isEmpty());
    QString error;
    QCOMPARE(linkers.generateSupportLinkers(5, &error), -1);
    QVERIFY(error.isEmpty());
    for (int i = 1; i < scene.objectCount(); ++i)
        QVERIFY(scene.object(i)->type != TypeSupportLinker);
    // The far one joins once the distance allows.
    QCOMPARE(linkers.linkedPairs(9).size(), 1);
}

void TestLinkers::braceEndsFollowALeaningBody()
{
    // A body leaning only in y: from (3, 0, 20) down to (3, 6, 1). Brace ends lie on it.
    Scene scene;
    const int model = addBoxModel(scene, {10, 10, 5});
    addSupport(scene, plateSupport({0, 0, 0}, 20, model));
    spUnit lean = plateSupport({3, 6, 0}, 20, model);
    for (int i = 0; i < 3; ++i)
        lean.points[i].setY(0);
    addSupport(scene, lean);
    SupportLinkers linkers(&scene);
    QVERIFY(linkers.generateSupportLinkers(10) > 0);
    QVERIFY(!linkers.braces().isEmpty());
    for (const auto &b : linkers.braces()) {
        const QVector3D end = b.second;
        const float z = std::clamp(end.z(), 1.0f, 20.0f);
        QVERIFY2(qAbs(end.y() - 6 * (20 - z) / 19) < 1e-4, qPrintable(QString("%1 %2").arg(end.y()).arg(end.z())));
        QCOMPARE(end.x(), 3.0f);
    }
}

void TestLinkers::refusalsAndRemoval()
{
    Scene scene;
    const int model = addBoxModel(scene, {10, 10, 5});
    addSupport(scene, plateSupport({0, 0, 0}, 10, model));
    addSupport(scene, plateSupport({2, 0, 0}, 10, model));
    SupportLinkers linkers(&scene);
    const int before = scene.objectCount();
    QString error;
    QCOMPARE(linkers.generateSupportLinkers(0, &error), -1);
    QCOMPARE(error, QString("The linker distance must be above 0 mm."));
    QCOMPARE(linkers.generateSupportLinkers(-3, &error), -1);
    QCOMPARE(scene.objectCount(), before);

    // Support mode puts the linkers away and back; moving supports throws them away.
    QVERIFY(linkers.generateSupportLinkers(4) > 0);
    SupportEditor editor(&scene);
    editor.regenerateSupportLinkers = [&linkers] { linkers.regenerate(); };
    editor.setSupportMode(1);
    QCOMPARE(scene.objectCount(), before);
    editor.setSupportMode(0);
    QCOMPARE(scene.objectCount(), before + 1);
    QCOMPARE(scene.object(before)->name, QString("SupportLinkers"));
    scene.changeSelObj({model}, model);
    editor.onMoveSupports(QVector3D(1, 0, 0));
    QCOMPARE(scene.objectCount(), before);
}

QTEST_MAIN(TestLinkers)
#include "tst_linkers.moc"
