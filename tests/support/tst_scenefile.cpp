#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

#include "scene/ModelFile.h"
#include "scene/Scene.h"
#include "scene/SceneFile.h"
#include "support/Bases.h"
#include "support/SceneFileLoad.h"
#include "support/SupportEditor.h"
#include "support_solids.h"

namespace {

// A binary STL of a box, written byte by byte.
void writeBoxStl(const QString &path, QVector3D size)
{
    const Mesh m = boxMesh(QVector3D(0, 0, 0), size);
    QByteArray out(80, ' ');
    const quint32 n = quint32(m.triangleCount());
    out.append(reinterpret_cast<const char *>(&n), 4);
    for (std::size_t t = 0; t < m.triangleCount(); ++t) {
        float v[12] = {0, 0, 0};
        for (int c = 0; c < 3; ++c)
            for (int a = 0; a < 3; ++a)
                v[3 + c * 3 + a] = m.vertices[m.indices[t * 3 + c] * 3 + a];
        out.append(reinterpret_cast<const char *>(v), sizeof v);
        out.append("\0\0", 2);
    }
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(out);
}

struct World
{
    Scene scene;
    Bases bases{&scene};
    SupportEditor supports{&scene};
    World()
    {
        scene.setLoadPauseMs(0);
        scene.setProjector(2560, 1600, 75, 75);   // a 192 × 120 mm plate
    }
    int load(const QString &path, const SceneFileHooks &hooks = {})
    {
        SceneFileLoadResult r;
        QString error;
        if (!loadSceneFile(path, scene, bases, supports, hooks, &r, &error))
            return -1;
        lastProblems = r.problems;
        return r.modelsMade;
    }
    QStringList lastProblems;
};

QList<int> idsOfType(const Scene &s, int type)
{
    QList<int> ids;
    for (int i = 1; i < s.objectCount(); ++i)
        if (s.object(i)->type == type)
            ids << i;
    return ids;
}

void compareVec(QVector3D a, QVector3D b)
{
    QVERIFY2((a - b).length() < 2e-6f * std::max(1.0f, b.length()),
             qPrintable(QString("(%1 %2 %3) vs (%4 %5 %6)").arg(a.x()).arg(a.y()).arg(a.z()).arg(b.x()).arg(b.y()).arg(b.z())));
}

spUnit supportUnder(const Object &model, int modelId, float dx)
{
    spUnit u;
    const float x = (model.bbox[4] + model.bbox[5]) / 2 + dx;
    const float y = (model.bbox[2] + model.bbox[3]) / 2;
    const float z = model.bbox[1];
    u.points = {QVector3D(x, y, z), QVector3D(x, y, z - 2.5f), QVector3D(x, y, 0)};
    u.radii = {0.2f, 0.4f, 0.5f};
    u.tipObjectId = modelId;
    u.footObjectId = 0;
    u.parentId = modelId;
    return u;
}

} // namespace

class TestSceneFile : public QObject
{
    Q_OBJECT
private slots:
    void roundTripIntoEmptyAndIntoOccupiedScene();
    void writtenTextIsExactAndLocaleFree();
    void oldFilesAndBadNumbers();
    void missingModelsAndUnsoundSupports();
    void failedWriteKeepsTheOldFile();
};

void TestSceneFile::roundTripIntoEmptyAndIntoOccupiedScene()
{
    QTemporaryDir dir;
    const QString a = dir.filePath("Würfel a.stl"), b = dir.filePath("b.stl");
    writeBoxStl(a, QVector3D(10, 20, 5));
    writeBoxStl(b, QVector3D(8, 8, 8));

    World w;
    int loads = 0;
    SceneFileHooks hooks;

    QString error;
    // Source scene: a flipped, lifted and grouped model with a rectangular base, a copy of it
    // (the same file twice), a rotated model, a global base and supports.
    Scene &s = w.scene;
    {
        const ModelReadResult r = readModelFile(a);
        QVERIFY(r.ok());
        s.load_mesh(r.meshes, a);
        const ModelReadResult r2 = readModelFile(b);
        s.load_mesh(r2.meshes, b);
    }
    QCOMPARE(s.objectCount(), 3);
    s.object(1)->move = QVector3D(-20.5f, 3.25f, 0.0f);
    QVERIFY(s.setObjectFlip(1, true));
    s.object(1)->moveZoff = 0.125f;
    s.object(1)->groupId = 0;
    s.object(2)->groupId = 1;
    s.object(2)->opacity = 0.5f;
    s.object(2)->move = QVector3D(25, -10, 0);
    QVERIFY(s.setObjectRotation(2, QVector3D(10, 0, 30)));
    s.changeSelObj({1}, 1);
    QCOMPARE(w.bases.addRectBase(2.0f, 1.5f), 1);
    s.copyObject(1);
    const int copy = s.objectCount() - 1;
    s.object(copy)->move = QVector3D(0, 30, 0);
    s.refreshAABB(copy, 0);
    QVERIFY(w.supports.addSupportManual(supportUnder(*s.object(1), 1, 0)) > 0);
    spUnit thin = supportUnder(*s.object(2), 2, 1);
    thin.thinTip = true;
    QVERIFY(w.supports.addSupportManual(thin) > 0);
    s.changeSelObj({}, 0);
    QVERIFY2(w.bases.addGlobalBase(1.0f, 0.8f, &error) > 0, qPrintable(error));

    const QString file = dir.filePath("plate ö.o3d");
    QVERIFY2(writeSceneFile(s, file, &error), qPrintable(error));

    // Into an empty scene: every stored object comes back; the global base is made last.
    World back;
    hooks.loadModel = [&](const QString &path, QString *err) {
        ++loads;
        const ModelReadResult r = readModelFile(path);
        if (!r.ok()) {
            *err = r.error;
            return false;
        }
        back.scene.load_mesh(r.meshes, path);
        return true;
    };
    loads = 0;
    QCOMPARE(back.load(file, hooks), 3);
    QCOMPARE(loads, 2);   // the copy is made from the model already read
    QCOMPARE(back.lastProblems, QStringList());
    const QList<int> srcModels = idsOfType(s, TypeModel), models = idsOfType(back.scene, TypeModel);
    QCOMPARE(models, QList<int>({1, 2, 4}));
    for (int k = 0; k < models.size(); ++k) {
        const Object &o = *back.scene.object(models[k]), &x = *s.object(srcModels[k]);
        compareVec(o.move, x.move);
        compareVec(o.rotation, x.rotation);
        compareVec(o.scale, x.scale);
        QCOMPARE(o.flip, x.flip);
        QCOMPARE(o.opacity, x.opacity);
        QCOMPARE(o.moveZoff, x.moveZoff);
        QCOMPARE(o.filename, x.filename);
        QCOMPARE(o.groupId, x.groupId);
        for (int j = 0; j < 6; ++j)
            QVERIFY(std::abs(o.bbox[j] - x.bbox[j]) < 1e-4f);
    }
    // The rectangular base keeps its size (not its taller mesh) and its model.
    const QList<int> bases = idsOfType(back.scene, TypeBase);
    QCOMPARE(bases.size(), 2);
    const Object &rect = *back.scene.object(bases[0]);
    QCOMPARE(rect.name, QString("RectBase"));
    compareVec(rect.baseSize, s.object(3)->baseSize);
    compareVec(rect.move, s.object(3)->move);
    QCOMPARE(rect.parent, 1);
    QCOMPARE(back.scene.object(bases[1])->name, QString("GlobalBase"));
    QCOMPARE(bases[1], back.scene.objectCount() - 1);
    const Object &gb = *back.scene.object(bases[1]), &gs = *s.object(idsOfType(s, TypeBase)[1]);
    QVERIFY(std::abs((gb.maxCorner.z() - gb.minCorner.z()) - (gs.maxCorner.z() - gs.minCorner.z())) < 1e-4f);
    // Supports: same world points, radii, thin tip, and ids of the models they belong to.
    QCOMPARE(back.scene.supportCount(), 2);
    for (int k = 0; k < 2; ++k) {
        const int so = s.supportIndexMap()[k], bo = back.scene.supportIndexMap()[k];
        const spUnit &x = s.object(so)->support, &o = back.scene.object(bo)->support;
        QCOMPARE(o.points.size(), x.points.size());
        for (int p = 0; p < o.points.size(); ++p)
            compareVec(o.points[p] + back.scene.object(bo)->move, x.points[p] + s.object(so)->move);
        QCOMPARE(o.radii, x.radii);
        QCOMPARE(o.thinTip, x.thinTip);
        QCOMPARE(back.scene.object(bo)->parent, k == 0 ? 1 : 2);
        QCOMPARE(o.tipObjectId, k == 0 ? 1 : 2);
    }
    // Writing the loaded scene again gives the same text but for the global base's place.
    QByteArray again = sceneFileText(back.scene);
    QCOMPARE(again.size(), QFile(file).size());

    // Into a scene that already holds a model of group 3 (and a global base, which goes):
    // ids move past it, groups follow the largest one.
    World merged;
    hooks.loadModel = {};
    writeBoxStl(dir.filePath("c.stl"), QVector3D(5, 5, 5));
    const ModelReadResult rc = readModelFile(dir.filePath("c.stl"));
    merged.scene.load_mesh(rc.meshes, dir.filePath("c.stl"));
    merged.scene.object(1)->groupId = 3;
    QCOMPARE(merged.load(file), 3);
    const QList<int> mm = idsOfType(merged.scene, TypeModel);
    QCOMPARE(mm, QList<int>({1, 2, 3, 5}));
    QCOMPARE(merged.scene.object(2)->groupId, 4);
    QCOMPARE(merged.scene.object(3)->groupId, 5);
    QCOMPARE(merged.scene.object(5)->groupId, -1);   // copies join no group
    QCOMPARE(merged.scene.object(idsOfType(merged.scene, TypeBase)[0])->parent, 2);
    QCOMPARE(merged.scene.object(merged.scene.supportIndexMap()[0])->support.tipObjectId, 2);
    QCOMPARE(merged.scene.object(merged.scene.supportIndexMap()[1])->parent, 3);
    QCOMPARE(merged.scene.object(merged.scene.supportIndexMap()[0])->support.footObjectId, 0);
}

void TestSceneFile::writtenTextIsExactAndLocaleFree()
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Scene s;
    s.setLoadPauseMs(0);
    SupportEditor ed(&s);
    s.load_mesh({boxMesh(QVector3D(0, 0, 0), QVector3D(4, 4, 4))}, QString::fromUtf8("/tmp/é x/ä.stl"));
    s.object(1)->move = QVector3D(1.5f, -2.25f, 0);
    s.object(1)->groupId = 2;
    spUnit u;
    u.points = {QVector3D(1, 2, 3), QVector3D(1, 2, 1.5f), QVector3D(1, 2, 0)};
    u.radii = {0.25f, 0.5f, 0.75f};
    u.tipObjectId = u.parentId = 1;
    QVERIFY(ed.addSupportManual(u) > 0);
    const QByteArray text = sceneFileText(s);
    QLocale::setDefault(before);
    const QByteArray expected = QByteArray("#object\n")
                                + QString::fromUtf8("filename /tmp/é x/ä.stl\n").toUtf8()
                                + "scale 1.000000 1.000000 1.000000\n"
                                  "move 1.500000 -2.250000 0.000000\n"
                                  "rotation 0.000000 0.000000 0.000000\n"
                                  "isShow 1\nselectable 1\nflip 0\n"
                                  "opacity 1.000000\nparent 0\nmoveZoff 0.000000\ngroupId 2\n"
                                  "#support\n"
                                  "selId 1 0 1 0\n"
                                  "radii 0.250000 0.500000 0.750000 \n"
                                  "point0 1.000000 2.000000 3.000000\n"
                                  "point1 1.000000 2.000000 1.500000\n"
                                  "point2 1.000000 2.000000 0.000000\n";
    QCOMPARE(text, expected);
    const SceneDocument doc = parseSceneFile(text);
    QCOMPARE(doc.blocks.size(), 2);
    QCOMPARE(doc.blocks[0].model.path, QString::fromUtf8("/tmp/é x/ä.stl"));
}

void TestSceneFile::oldFilesAndBadNumbers()
{
    // Without the optional lines, and with a number that does not parse.
    const SceneDocument doc = parseSceneFile("junk line\n#object\nfilename /x/y z.stl\nscale 2 2 2\nmove 1 abc 3\n"
                                             "rotation 0 0 90\nisShow 1\nselectable 0\nflip 1\nopacity 0.5\n"
                                             "#baseplate\nsize 10 20 1\nmove 4 5 0\nparent 1\n"
                                             "#object\nfilename /x/q.stl\nscale 1 1 1\nmove 0 0 0\nrotation 0 0 0\n"
                                             "isShow 1\nselectable 1\nflip 0\nopacity 1\nparent 0\ngroupId -1\n"
                                             "\n#object\nfilename /after/empty/line.stl\n");
    QCOMPARE(doc.blocks.size(), 3);
    const SceneFileModel &m = doc.blocks[0].model;
    QCOMPARE(m.path, QString("/x/y z.stl"));
    QCOMPARE(m.scale, QVector3D(2, 2, 2));
    QCOMPARE(m.move, QVector3D(1, 0, 3));
    QCOMPARE(m.rotation, QVector3D(0, 0, 90));
    QVERIFY(m.isShow && !m.selectable && m.flip);
    QCOMPARE(m.opacity, 0.5f);
    QCOMPARE(m.parent, 0);
    QCOMPARE(m.moveZoff, 0.0f);
    QCOMPARE(m.groupId, -1);
    const SceneFileBase &b = doc.blocks[1].base;
    QCOMPARE(b.size, QVector3D(10, 20, 1));
    QCOMPARE(b.move, QVector3D(4, 5, 0));
    QCOMPARE(b.scale, QVector3D(1, 1, 1));   // no scale line: the next line is the parent
    QCOMPARE(b.parent, 1);
    QCOMPARE(doc.blocks[2].model.path, QString("/x/q.stl"));

    // A placement that is no number falls back to the neutral one rather than hiding the model.
    const SceneDocument odd = parseSceneFile("#object\nfilename /a.stl\nscale 0 2 2\nmove nan 1 2\nrotation inf 0 0\n"
                                             "isShow 1\nselectable 1\nflip 0\nopacity nan\nparent 1e30\ngroupId nan\n");
    QCOMPARE(odd.blocks.size(), 1);
    QCOMPARE(odd.blocks[0].model.scale, QVector3D(1, 1, 1));
    QCOMPARE(odd.blocks[0].model.move, QVector3D(0, 0, 0));
    QCOMPARE(odd.blocks[0].model.rotation, QVector3D(0, 0, 0));
    QCOMPARE(odd.blocks[0].model.opacity, 1.0f);
    QCOMPARE(odd.blocks[0].model.parent, 0);
    QCOMPARE(odd.blocks[0].model.groupId, 0);
}

void TestSceneFile::missingModelsAndUnsoundSupports()
{
    QTemporaryDir dir;
    writeBoxStl(dir.filePath("moved.stl"), QVector3D(6, 6, 6));
    QDir(dir.path()).mkdir("folder.stl");
    QFile bad(dir.filePath("bad.stl"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("solid nothing here\n");
    bad.close();
    const QByteArray model = "scale 1 1 1\nmove 0 0 0\nrotation 0 0 0\nisShow 1\nselectable 1\nflip 0\nopacity 1\n";
    const QByteArray text = "#object\nfilename /gone/away/moved.stl\n" + model           // 1: found beside the file
                            + "#object\nfilename /gone/away/lost.stl\n" + model          // 2: missing
                            + "#object\nfilename " + dir.filePath("folder.stl").toUtf8() + "\n" + model  // 3: a folder
                            + "#object\nfilename " + dir.filePath("bad.stl").toUtf8() + "\n" + model     // 4: no mesh
                            + "#baseplate\nsize 10 10 1\nmove 0 0 0\nscale 1 1 1\nparent 2\n"           // 5: of a lost model
                            + "#support\nselId 2 0 2 0\nradii 0.2 0.4 \npoint0 0 0 5\npoint1 0 0 0\n"   // 6: of a lost model
                            + "#support\nselId 1 0 1 0\nradii 0.2 0.4 0.5 \npoint0 0 0 5\npoint1 0 0 2\n" // 7: a point short
                            + "#support\nselId 1 0 1 0\nradii 0.2 0.4 \npoint0 nan 0 5\npoint1 0 0 0\n" // 8: not a number
                            + "#support\nselId 1 0 1 0\nradii 0.2 0.4 \npoint0 0 0 6\npoint1 0 0 0\n"   // 9: sound
                            + "#baseplate\nsize 12 12 1\nmove 0 0 0\nscale 1 1 1\nparent 1\n";         // 10: sound
    const QString file = dir.filePath("s.o3d");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();

    World w;
    QStringList asked;
    SceneFileHooks hooks;
    hooks.chooseMissing = [&](const QString &name) {
        asked << name;
        return QString();
    };
    QCOMPARE(w.load(file, hooks), 1);
    QCOMPARE(asked, QStringList({"lost.stl", "folder.stl", "bad.stl"}));
    QCOMPARE(w.scene.objectCount(), 4);
    QCOMPARE(w.scene.object(1)->filename, dir.filePath("moved.stl"));
    QCOMPARE(w.scene.object(2)->type, int(TypeSupport));
    QCOMPARE(w.scene.object(2)->parent, 1);
    QCOMPARE(w.scene.object(2)->support.points.first(), QVector3D(0, 0, 6));
    QCOMPARE(w.scene.object(3)->type, int(TypeBase));
    QCOMPARE(w.scene.object(3)->parent, 1);
    // Four models or records left out, each said in a line (two supports of the parser).
    QCOMPARE(w.lastProblems.size(), 2 + 3 + 2);

    // An absurd point count is passed over without reading its points into memory.
    QByteArray huge = "#support\nselId 1 0 1 0\nradii ";
    for (int i = 0; i < 20000; ++i)
        huge += "0.1 ";
    const SceneDocument doc = parseSceneFile(huge + "\npoint0 0 0 1\n#baseplate\nsize 5 5 1\nmove 0 0 0\nparent 0\n");
    QCOMPARE(doc.blocks.size(), 2);
    QVERIFY(doc.blocks[0].skipped);
    QCOMPARE(doc.blocks[1].base.size, QVector3D(5, 5, 1));
    QCOMPARE(doc.problems.size(), 1);
}

void TestSceneFile::failedWriteKeepsTheOldFile()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("old.o3d");
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#object\nfilename /old.stl\n");
    }
    Scene s;
    s.setLoadPauseMs(0);
    for (int i = 0; i < 40; ++i)
        s.load_mesh({boxMesh(QVector3D(0, 0, 0), QVector3D(4, 4, 4))}, QString("/m%1.stl").arg(i));

    // A full disk: writes past 200 bytes fail.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 200;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool written = writeSceneFile(s, file, &error);
    setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("#object\nfilename /old.stl\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"old.o3d"}));

    // A folder in the way.
    QVERIFY(!writeSceneFile(s, dir.path(), &error));
    QVERIFY(writeSceneFile(s, file, &error));
    QVERIFY(QFileInfo(file).size() > 1000);
}

QTEST_GUILESS_MAIN(TestSceneFile)
#include "tst_scenefile.moc"
