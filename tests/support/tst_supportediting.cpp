#include <QSignalSpy>
#include <QtTest>
#include <cmath>

#include "scene/Scene.h"
#include "support/SupportEditor.h"
#include "support_solids.h"

namespace {

bool near(QVector3D a, QVector3D b, float eps = 1e-4f) { return (a - b).length() < eps; }

bool near(const QVector<float> &a, const QVector<float> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (std::abs(a[i] - b[i]) > 1e-5f)
            return false;
    return true;
}

QString str(const QVector<float> &v)
{
    QStringList s;
    for (float f : v)
        s << QString::number(double(f));
    return s.join(' ');
}

// A scene with one 20 × 20 × 10 box model lifted 20 mm, selected; defaults as set below.
struct Fixture
{
    Scene scene;
    SupportEditor editor{&scene};
    int model = 0;

    Fixture()
    {
        model = addBoxModel(scene, QVector3D(20, 20, 10));
        scene.object(model)->move.setZ(20);
        scene.refreshAABB(model, 0);
        scene.changeSelObj({model}, model);
        SupportParameters p;   // r0 1, r1 0.6, r2 0.5, r3 0.25, h0 1, h2 2.5, 45°
        editor.setParameters(p);
        editor.penetrationDistance = 0.2;
    }
    // The first click: on the model at `a`, its surface facing `normal`.
    void pickTip(QVector3D a, QVector3D normal = QVector3D(0, 0, -1))
    {
        editor.pick.pointA = a;
        editor.pick.normalA = normal;
        editor.pick.tipObject = model;
    }
    // One-point click on the model's underside at (x, y).
    int clickUnder(float x, float y, QVector3D normal = QVector3D(0, 0, -1), int mode = 1)
    {
        pickTip(QVector3D(x, y, 19.8f), normal);
        editor.pick.pointB = QVector3D(x, y, 0);
        editor.pick.footObject = 0;
        return editor.addSupportManual(mode, false);
    }
};

} // namespace

class TestSupportEditing : public QObject
{
    Q_OBJECT
private slots:
    void oneClickSupportToThePlate();
    void tipLeansAtMostTheTipAngle();
    void twoPointAndModelFeet();
    void branchStandsOnANeighbour();
    void flipCopiesMirrorAboutTheModel();
    void unsoundPicksAreRefused();
    void removalRenumbers();
    void numbersHoldPastTenThousand();
    void supportsFollowTheirModel();
    void previewAndModeSwitching();
    void straightenAndJointRadius();
    void mouseClicksAndHover();
};

void TestSupportEditing::oneClickSupportToThePlate()
{
    Fixture f;
    QSignalSpy log(&f.scene, &Scene::updateLogWindow);
    QCOMPARE(f.clickUnder(1, 2), 1);
    const spUnit &u = *f.scene.supportRecord(0);
    // Contact 20 mm up after the 0.2 mm push into the model; tall: k = 1 + 20·0.01 = 1.2.
    const QVector<QVector3D> want = {{1, 2, 20}, {1, 2, 17.5f}, {1, 2, 16.5f}, {1, 2, 1}, {1, 2, 0.5f}, {1, 2, 0}};
    QCOMPARE(u.points.size(), 6);
    for (int i = 0; i < 6; ++i)
        QVERIFY2(near(u.points[i], want[i]), qPrintable(QString::number(i)));
    QVERIFY2(near(u.radii, {0.25f, 0.625f, 0.5f, 0.72f, 1.2f, 0.72f}), qPrintable(str(u.radii)));
    QCOMPARE(u.tipObjectId, f.model);
    QCOMPARE(u.footObjectId, 0);
    const Object *o = f.scene.object(f.scene.objectCount() - 1);
    QCOMPARE(o->name, QString("Support_0000"));
    QCOMPARE(o->type, int(TypeSupport));
    QCOMPARE(o->parent, f.model);
    QCOMPARE(o->opacity, 1.0f);
    QCOMPARE(log.last().first().toString(), QString("Support_0000 has been added."));
    // Its box reaches the plate and the contact sphere's top.
    QVERIFY(std::abs(o->bbox[1]) < 1e-4f);
    QVERIFY(std::abs(o->bbox[0] - 20.25f) < 1e-3f);

    // A short one (contact 3 mm up): A, foot top, foot, plate; no tip points.
    f.editor.pick.pointA = QVector3D(5, 5, 3);
    QCOMPARE(f.editor.addSupportManual(1, false), 1);
    const spUnit &s = *f.scene.supportRecord(1);
    QCOMPARE(s.points.size(), 4);
    QVERIFY(near(s.points[1], QVector3D(5, 5, 1)));
    QVERIFY(near(s.radii, {0.25f, 0.6f, 1.0f, 0.6f}));
}

void TestSupportEditing::tipLeansAtMostTheTipAngle()
{
    Fixture f;
    SupportParameters p = f.editor.parameters();
    p.theta = 30;
    f.editor.setParameters(p);
    // A normal tilted 80° from straight down gives a tip tilted 30.1°.
    const double a = qDegreesToRadians(80.0);
    QCOMPARE(f.clickUnder(0, 0, QVector3D(float(std::sin(a)), 0, -float(std::cos(a)))), 1);
    const spUnit &u = *f.scene.supportRecord(0);
    const QVector3D tip = (u.points[1] - u.points[0]).normalized();
    QVERIFY(std::abs(qRadiansToDegrees(std::acos(double(-tip.z()))) - 30.1) < 1e-3);
    QVERIFY(tip.x() > 0 && std::abs(tip.y()) < 1e-6f);
}

void TestSupportEditing::twoPointAndModelFeet()
{
    Fixture f;
    // Second click on the plate (mode 5): stands at B, foot disc h0 high.
    f.pickTip(QVector3D(0, 0, 19.8f));
    f.editor.pick.pointB = QVector3D(6, -4, 0);
    f.editor.pick.footObject = 0;
    QCOMPARE(f.editor.addSupportManual(5, false), 1);
    const spUnit &u = *f.scene.supportRecord(0);
    QVERIFY(near(u.points.last(), QVector3D(6, -4, 0)));
    QVERIFY(near(u.points[u.points.size() - 3], QVector3D(6, -4, 1)));

    // Down onto a model surface below (mode 2): a bottom tip rising from B along its
    // normal, the foot radius min(2·r3, r2) and the foot object that model.
    const int lower = addBoxModel(f.scene, QVector3D(30, 30, 5), "lower.stl");
    f.editor.pick.pointB = QVector3D(0, 0, 5);
    f.editor.pick.normalB = QVector3D(0, 0, 1);
    f.editor.pick.footObject = lower;
    QCOMPARE(f.editor.addSupportManual(2, false), 1);
    const spUnit &m = *f.scene.supportRecord(1);
    QCOMPARE(m.footObjectId, lower);
    QCOMPARE(m.points.size(), 5);   // A, T, T − 1, bottom tip end, B
    QVERIFY(near(m.points[3], QVector3D(0, 0, 7.5f)));
    QVERIFY(near(m.points[4], QVector3D(0, 0, 5)));
    QVERIFY(std::abs(m.radii[4] - 0.5f) < 1e-6f);
    QVERIFY(std::abs(m.radii[3] - 0.6f) < 1e-6f);
}

void TestSupportEditing::branchStandsOnANeighbour()
{
    Fixture f;
    QCOMPARE(f.clickUnder(0, 0), 1);
    const int trunk = f.scene.supportIndexMap().at(0);
    f.editor.branchMode = true;
    f.pickTip(QVector3D(2, 1, 19.8f));
    f.editor.pick.pointB = QVector3D(2, 1, 0);
    f.editor.pick.normalB = QVector3D(0, 0, 1);
    f.editor.pick.footObject = f.model;
    QCOMPARE(f.editor.branchCandidates(QVector3D(2, 1, 20)).size(), 1);
    QCOMPARE(f.editor.addSupportManual(2, false), 1);
    const spUnit &b = *f.scene.supportRecord(1);
    QCOMPARE(b.footObjectId, trunk);
    // Key = distance to the trunk's second point (0, 0, 17.5); foot at 20 − max(0.8·key, 4.5).
    const float key = (QVector3D(0, 0, 17.5f) - QVector3D(2, 1, 20)).length();
    const float footZ = 20 - std::max(0.8f * key, 4.5f);
    QVERIFY2(near(b.points.last(), QVector3D(0, 0, footZ)), qPrintable(QString::number(double(b.points.last().z()))));
    // The trunk's radius there, between 0.5 at 16.5 mm and 0.72 at 1 mm.
    const float t = (footZ - 1) / 15.5f;
    QVERIFY(std::abs(b.radii.last() - (t * 0.5f + (1 - t) * 0.72f)) < 1e-5f);
}

void TestSupportEditing::flipCopiesMirrorAboutTheModel()
{
    Fixture f;
    f.scene.object(f.model)->move += QVector3D(10, -5, 0);
    f.scene.refreshAABB(f.model, 0);
    f.editor.flipCopyMode = 3;
    QCOMPARE(f.clickUnder(13, -1), 4);
    QCOMPARE(f.scene.supportCount(), 4);
    QVERIFY(near(f.scene.supportRecord(0)->points.first(), QVector3D(13, -1, 20)));
    QVERIFY(near(f.scene.supportRecord(1)->points.first(), QVector3D(13, -9, 20)));   // y mirrored about −5
    QVERIFY(near(f.scene.supportRecord(2)->points.first(), QVector3D(7, -1, 20)));    // x mirrored about 10
    QVERIFY(near(f.scene.supportRecord(3)->points.first(), QVector3D(7, -9, 20)));
    QCOMPARE(f.editor.statusLine(), QString());
    f.editor.setSupportMode(1);
    QCOMPARE(f.editor.statusLine(), QString("Support Mode (1 Pt). Press ESC to escape. [X Flip Copy ON] [Y Flip Copy ON]"));
}

void TestSupportEditing::unsoundPicksAreRefused()
{
    Fixture f;
    QString why;
    f.pickTip(QVector3D(0, 0, 19.8f), QVector3D(0, 0, 0));
    QCOMPARE(f.editor.addSupportManual(1, false, &why), 0);
    QCOMPARE(why, QString("The contact point has no surface direction."));
    // Foot and contact at the same place: no direction for the tip.
    f.editor.pick.normalA = QVector3D(0, 0, -1);
    f.editor.pick.pointB = QVector3D(0, 0, 20);
    f.editor.pick.footObject = f.model;
    QCOMPARE(f.editor.addSupportManual(6, false, &why), 0);
    QVERIFY(!why.isEmpty());
    f.editor.pick.pointA = QVector3D(80, 30, 19.8f);   // outside |x| + |y| ≤ 100
    QCOMPARE(f.editor.addSupportManual(1, false, &why), 0);
    QCOMPARE(f.scene.supportCount(), 0);
    QCOMPARE(f.scene.objectCount(), 2);
}

void TestSupportEditing::removalRenumbers()
{
    Fixture f;
    for (int k = 0; k < 3; ++k)
        f.clickUnder(float(k), 0);
    const QList<int> ids = f.scene.supportIndexMap();
    f.scene.removeObj(ids[1]);
    QCOMPARE(f.scene.supportCount(), 2);
    const int third = f.scene.supportIndexMap().at(1);
    QCOMPARE(f.scene.object(third)->name, QString("Support_0001"));
    QCOMPARE(f.scene.supportNumberOf(third), 1);
    QCOMPARE(f.scene.supportRecord(1)->points.first().x(), 2.0f);
    // Undo brings the record back with its object.
    f.scene.undo();
    QCOMPARE(f.scene.supportCount(), 3);
    QList<float> xs;
    for (const spUnit &u : f.scene.supportList())
        xs << u.points.first().x();
    std::sort(xs.begin(), xs.end());
    QCOMPARE(xs, QList<float>({0, 1, 2}));

    // deleteAllSupports with nothing selected keeps the plate and the models.
    f.scene.changeSelObj({}, 0);
    f.scene.deleteAllSupports();
    QCOMPARE(f.scene.supportCount(), 0);
    QCOMPARE(f.scene.objectCount(), 2);
    QCOMPARE(f.scene.object(1)->type, int(TypeModel));
}

void TestSupportEditing::numbersHoldPastTenThousand()
{
    Scene s;
    SupportEditor e(&s);
    const int model = addBoxModel(s, QVector3D(5, 5, 5));
    for (int k = 0; k < 10003; ++k) {
        spUnit u;
        u.points = {QVector3D(float(k) * 0.001f, 0, 3)};
        u.radii = {0.2f};
        u.parentId = model;
        QVERIFY(e.addSupportManual(u) >= 0);
    }
    const int last = s.objectCount() - 1;
    QCOMPARE(s.object(last)->name, QString("Support_10002"));
    // Four digits of the name would say 1000; the record found is the right one.
    QCOMPARE(s.supportNumberOf(last), 10002);
    QCOMPARE(s.supportRecord(10002)->points.first().x(), 10002 * 0.001f);
    s.removeObj(s.supportIndexMap().at(3));
    QCOMPARE(s.supportNumberOf(s.objectCount() - 1), 10001);
    QCOMPARE(s.object(s.objectCount() - 1)->name, QString("Support_10001"));
    QCOMPARE(s.supportRecord(10001)->points.first().x(), 10002 * 0.001f);
}

void TestSupportEditing::supportsFollowTheirModel()
{
    Fixture f;
    f.scene.object(f.model)->move += QVector3D(5, 0, 0);
    f.scene.refreshAABB(f.model, 0);
    QCOMPARE(f.clickUnder(8, 0), 1);   // 3 mm from the model's centre on x
    const int sup = f.scene.supportIndexMap().at(0);
    auto world = [&](int i) { return f.scene.object(sup)->support.points[i] + f.scene.object(sup)->move; };

    // Z rotation by 90° about the model's centre (5, 0): (8, 0) goes to (5, 3).
    f.scene.object(f.model)->rotation.setZ(90);
    f.scene.recalcChildren(f.model, 1, 90);
    QVERIFY(near(world(0), QVector3D(5, 3, 20)));
    QVERIFY(near(world(5), QVector3D(5, 3, 0)));
    // Dropping the model 20 mm to the plate: the tip follows, the foot stays on the plate.
    f.scene.onMoveToBottom();
    QVERIFY(near(world(0), QVector3D(5, 3, 0)));
    QVERIFY(near(world(5), QVector3D(5, 3, 0)));
    QCOMPARE(world(3).z(), 1.0f);
    // The mesh was rebuilt from the turned record.
    QVERIFY(std::abs(f.scene.object(sup)->bbox[4] - (5 - 1.2f)) < 0.05f);

    // Duplicating the model duplicates its support, moved along with the copy.
    f.scene.changeSelObj({f.model}, f.model);
    f.scene.object(f.model)->move.setZ(20);
    f.scene.refreshAABB(f.model, 0);
    f.scene.on_duplicateObj(f.model);
    QCOMPARE(f.scene.supportCount(), 2);
    const int copy = f.scene.supportIndexMap().at(1);
    const Object *c = f.scene.object(copy);
    QCOMPARE(c->parent, f.scene.currentObject());
    QCOMPARE(c->support.parentId, c->parent);
    // The copy stands where the copied model stands relative to the source model.
    const QVector3D shift = f.scene.object(c->parent)->move - f.scene.object(f.model)->move;
    QVERIFY(shift.length() > 1);
    QCOMPARE(c->support.points, f.scene.object(sup)->support.points);
    QVERIFY(near(c->move - f.scene.object(sup)->move, shift));
    f.scene.undo();
    QCOMPARE(f.scene.supportCount(), 1);
}

void TestSupportEditing::previewAndModeSwitching()
{
    Fixture f;
    // Mode on: the global base and the linkers leave; off: they come back through the hooks.
    for (auto [type, name] : {std::make_pair(TypeBase, "GlobalBase"), std::make_pair(TypeSupportLinker, "SupportLinkers")}) {
        const int id = addBoxModel(f.scene, QVector3D(1, 1, 1), "x.stl");
        f.scene.object(id)->type = type;
        f.scene.object(id)->name = name;
    }
    f.scene.changeSelObj({f.model}, f.model);
    int restored = 0;
    f.editor.restoreGlobalBase = [&] { restored += 1; };
    f.editor.regenerateSupportLinkers = [&] { restored += 10; };
    f.editor.setSupportMode(1);
    QCOMPARE(f.scene.objectCount(), 2);
    QVERIFY(f.editor.waterline);

    f.pickTip(QVector3D(0, 0, 19.8f));
    QCOMPARE(f.editor.addSupportManual(1, true), 1);
    QCOMPARE(f.editor.addSupportManual(1, true), 1);   // replaces, never piles up
    QCOMPARE(f.scene.supportCount(), 1);
    QVERIFY(f.editor.hasPreview());
    QCOMPARE(f.scene.object(2)->opacity, 0.3f);
    const int records = f.scene.undoRecordCount();
    f.editor.setSupportMode(0);
    QCOMPARE(restored, 11);
    QCOMPARE(f.scene.supportCount(), 0);
    QCOMPARE(f.scene.undoRecordCount(), records);
    QVERIFY(!f.editor.waterline);
}

void TestSupportEditing::straightenAndJointRadius()
{
    Fixture f;
    f.clickUnder(0, 0, QVector3D(0.7071f, 0, -0.7071f));   // the tip leans towards +x
    const int sup = f.scene.supportIndexMap().at(0);
    spUnit u = f.scene.object(sup)->support;
    f.scene.changeSelObj({sup}, sup);
    f.editor.makeSupportStraight();
    u = f.scene.object(sup)->support;
    // Points between the contact point and the foot disc lie on the line between them.
    const QVector3D p0 = u.points[0], q = u.points[3];
    for (int i = 1; i < 3; ++i) {
        const float t = (u.points[i].z() - q.z()) / (p0.z() - q.z());
        QVERIFY(near(u.points[i], t * p0 + (1 - t) * q));
    }
    // Shift-click on the contact point grows its radius by 0.025 mm.
    QSignalSpy log(&f.scene, &Scene::updateLogWindow);
    QVERIFY(f.editor.changeJointRadius(sup, u.points[0] + QVector3D(0.1f, 0, 0), +1));
    QVERIFY(std::abs(f.scene.object(sup)->support.radii[0] - 0.275f) < 1e-6f);
    QCOMPARE(log.last().first().toString(), QString("Tip (or joint) diameter changed to 0.55 mm"));
    QVERIFY(!f.editor.changeJointRadius(sup, u.points[0] + QVector3D(10, 0, 0), +1));
    f.scene.undo();
    QVERIFY(std::abs(f.scene.object(sup)->support.radii[0] - 0.25f) < 1e-6f);
}

void TestSupportEditing::mouseClicksAndHover()
{
    // The fixture's box spans x, y from −10 to 10 with its underside 20 mm up.
    Fixture f;
    f.editor.sinSurfaceNormal = 0.5;
    const QVector3D up(0, 0, 1), down(0, 0, -1);
    f.editor.setSupportMode(1);
    // Seen from below: a one-point support standing on the plate under the clicked point.
    f.editor.drawSupportPreview(false, QVector3D(5, 3, -50), up);
    QCOMPARE(f.scene.supportCount(), 1);
    QVERIFY(near(f.scene.supportRecord(0)->points.first(), QVector3D(5, 3, 20.2f)));
    QCOMPARE(f.scene.supportRecord(0)->points.last().z(), 0.0f);
    // The top faces up: refused. Beside the model: nothing to hold in one-point mode.
    f.editor.drawSupportPreview(false, QVector3D(5, 3, 80), down);
    f.editor.drawSupportPreview(false, QVector3D(30, 3, 80), down);
    QCOMPARE(f.scene.supportCount(), 1);

    // Hovering shows a see-through preview, hovering beside the model takes it away.
    f.editor.drawSupportPreview(true, QVector3D(-5, 3, -50), up);
    QCOMPARE(f.scene.supportCount(), 2);
    QVERIFY(f.editor.hasPreview());
    f.editor.drawSupportPreview(true, QVector3D(30, 3, -50), up);
    QCOMPARE(f.scene.supportCount(), 1);

    // Two points: the underside, then the plate beside the model (mode 5, foot at B).
    f.editor.setSupportMode(0);
    f.editor.setSupportMode(2);
    f.editor.drawSupportPreview(false, QVector3D(-5, -3, -50), up);
    QCOMPARE(f.scene.supportCount(), 1);
    QCOMPARE(f.editor.clickCount, 1);
    f.editor.drawSupportPreview(false, QVector3D(16, -3, 80), down);
    QCOMPARE(f.editor.clickCount, 0);
    QCOMPARE(f.scene.supportCount(), 2);
    const spUnit &u = *f.scene.supportRecord(1);
    QVERIFY(near(u.points.last(), QVector3D(16, -3, 0)));
    QCOMPARE(u.footObjectId, 0);

    // Moving the model's children along with it.
    f.scene.changeSelObj({f.model}, f.model);
    const QVector3D before = f.scene.object(f.scene.supportIndexMap().at(0))->move;
    f.editor.onMoveSupports(QVector3D(2, -1, 0));
    QVERIFY(near(f.scene.object(f.scene.supportIndexMap().at(0))->move, before + QVector3D(2, -1, 0)));
}

QTEST_GUILESS_MAIN(TestSupportEditing)
#include "tst_supportediting.moc"
