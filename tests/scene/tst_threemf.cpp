#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include "scene/Loader.h"
#include "scene/ModelFile.h"
#include "scene/SceneMetaTypes.h"
#include "scene/ThreeMfReader.h"
#include "scene/ZipReader.h"
#include "support_scene.h"

struct Member
{
    QString name;
    QByteArray data;
    bool link = false;
};
Q_DECLARE_METATYPE(QList<Member>)

namespace {

// Writes a ZIP archive with Python's zipfile, a writer independent of our reader. Names are
// stored exactly as given, even hostile ones.
void writeZip(const QString &path, const QList<Member> &members)
{
    QJsonArray list;
    for (const Member &m : members)
        list.append(QJsonObject{{"name", m.name}, {"data", QString::fromLatin1(m.data.toBase64())}, {"link", m.link}});
    const char *script =
        "import sys, json, base64, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
        "for m in json.load(sys.stdin):\n"
        "    i = zipfile.ZipInfo(m['name'])\n"
        "    i.compress_type = zipfile.ZIP_DEFLATED\n"
        "    if m['link']:\n"
        "        i.create_system = 3\n"
        "        i.external_attr = 0o120777 << 16\n"
        "    z.writestr(i, base64.b64decode(m['data']))\n"
        "z.close()\n";
    QProcess py;
    py.start("python3", {"-c", script, path});
    QVERIFY(py.waitForStarted());
    py.write(QJsonDocument(list).toJson());
    py.closeWriteChannel();
    QVERIFY(py.waitForFinished(30000));
    QVERIFY2(py.exitCode() == 0, py.readAllStandardError().constData());
}

QByteArray modelXml(const QByteArray &resources, const QByteArray &build = QByteArray(),
                    const QByteArray &unit = "millimeter")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<model unit=\"" + unit + "\" xml:lang=\"en-US\" "
           "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\" "
           "xmlns:m=\"http://schemas.microsoft.com/3dmanufacturing/material/2015/02\">\n"
           "<resources>\n" + resources + "</resources>\n" + build + "</model>\n";
}

// A right triangle with its corner at (x, y, z) and legs of length 1 along x and y.
QByteArray triangleObject(int id, float x, float y, float z)
{
    return QString("<object id=\"%1\" type=\"model\"><mesh><vertices>"
                   "<vertex x=\"%2\" y=\"%3\" z=\"%4\"/><vertex x=\"%5\" y=\"%3\" z=\"%4\"/>"
                   "<vertex x=\"%2\" y=\"%6\" z=\"%4\"/></vertices>"
                   "<triangles><triangle v1=\"0\" v2=\"1\" v3=\"2\"/></triangles></mesh></object>\n")
        .arg(id).arg(x).arg(y).arg(z).arg(x + 1).arg(y + 1)
        .toUtf8();
}

QByteArray colorGroup(int id, const char *color)
{
    return QString("<m:colorgroup id=\"%1\"><m:color color=\"%2\"/><m:color color=\"#123456\"/></m:colorgroup>\n")
        .arg(id).arg(color).toUtf8();
}

std::vector<float> row(const Mesh &m, int vertex)
{
    return {m.vertices[3 * vertex], m.vertices[3 * vertex + 1], m.vertices[3 * vertex + 2]};
}

} // namespace

// 3MF model files: colours, placement as design tools write it, and archives that must be refused.
class ThreeMfTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write3mf(const QString &name, const QByteArray &model)
    {
        const QString path = m_dir.filePath(name);
        writeZip(path, {{"[Content_Types].xml", "<Types/>"}, {"3D/3dmodel.model", model}});
        return path;
    }

private slots:
    void colourGroupsDecideTheMeshesAndTheirCodes()
    {
        // Green, green, red: two meshes in the order the colours appear, green first.
        const QByteArray resources = colorGroup(1, "#00FF00") + triangleObject(2, 0, 0, 0) +
                                     colorGroup(3, "#00FF00") + triangleObject(4, 10, 0, 0) +
                                     colorGroup(5, "#FF0000") + triangleObject(6, 20, 0, 0);
        const QString path = write3mf("colours.3mf", modelXml(resources));
        const QStringList before = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        const ModelReadResult r = readModelFile(path);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.format, ModelFormat::ThreeMf);
        QCOMPARE(r.meshes.size(), 2);
        QCOMPARE(r.colors, (QList<Object::modelColor>{1, 0}));
        const Mesh &green = r.meshes.at(0);
        QCOMPARE(green.vertexCount(), std::size_t(6));
        // The second green object's corners follow the first object's three vertices.
        QCOMPARE(green.indices, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));
        QCOMPARE(green.reversedIndices, (std::vector<uint32_t>{0, 2, 1, 3, 5, 4}));
        QCOMPARE(row(green, 3), (std::vector<float>{10, 0, 0}));
        QCOMPARE(row(r.meshes.at(1), 0), (std::vector<float>{20, 0, 0}));
        // Reading unpacks nothing beside the user's file.
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);

        // No colour groups: one mesh with code 0. Blue is code 0 like any colour but green,
        // and green written in lower case or with an opaque alpha is still green.
        const ModelReadResult plain = readModelFile(write3mf("plain.3MF", modelXml(triangleObject(1, 0, 0, 0) + triangleObject(2, 5, 0, 0))));
        QVERIFY2(plain.ok(), qPrintable(plain.error));
        QCOMPARE(plain.meshes.size(), 1);
        QCOMPARE(plain.meshes.at(0).triangleCount(), std::size_t(2));
        QCOMPARE(plain.colors, (QList<Object::modelColor>{0}));
        QCOMPARE(int(threeMfColorCode("#0000FF")), 0);
        QCOMPARE(int(threeMfColorCode("#00ff00")), 1);
        QCOMPARE(int(threeMfColorCode("#00FF00FF")), 1);
        QCOMPARE(int(threeMfColorCode("#00FF0080")), 0);
        QCOMPARE(int(threeMfColorCode("")), 0);
    }

    void designToolFilesArePlacedByTheirBuild()
    {
        // The model part lives elsewhere and is found through the package relationships; every
        // element carries a prefix; the build places a mesh object directly, an assembly of two
        // components, and an object whose component lies in another model part (with an id that
        // the root part uses for something else); the unit is centimetres.
        const QByteArray model =
            "<?xml version=\"1.0\"?>\n"
            "<c:model unit=\"centimeter\" xmlns:c=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\" "
            "xmlns:p=\"http://schemas.microsoft.com/3dmanufacturing/production/2015/06\">"
            "<c:resources>"
            "<c:object id=\"7\" type=\"model\"><c:mesh><c:vertices>"
            "<c:vertex x=\"0\" y=\"0\" z=\"0\"/><c:vertex x=\"1\" y=\"0\" z=\"0\"/><c:vertex x=\"0\" y=\"1\" z=\"0\"/>"
            "</c:vertices><c:triangles><c:triangle v1=\"0\" v2=\"1\" v3=\"2\"/></c:triangles></c:mesh></c:object>"
            "<c:object id=\"8\" type=\"model\"><c:components>"
            "<c:component objectid=\"7\" transform=\"1 0 0 0 1 0 0 0 1 2 0 0\"/>"
            "<c:component objectid=\"7\" transform=\"-1 0 0 0 1 0 0 0 1 0 0 3\"/>"
            "</c:components></c:object>"
            "<c:object id=\"9\" type=\"model\"><c:components>"
            "<c:component p:path=\"/3D/Objects/part%20one.model\" objectid=\"7\" transform=\"1 0 0 0 1 0 0 0 1 0 0 10\"/>"
            "</c:components></c:object>"
            "</c:resources>"
            "<c:build>"
            // Turned 90° about z (x → y, y → −x), then moved by (10, 0, 0) cm.
            "<c:item objectid=\"7\" transform=\"0 1 0 -1 0 0 0 0 1 10 0 0\"/>"
            "<c:item objectid=\"8\" transform=\"1 0 0 0 1 0 0 0 1 0 5 0\"/>"
            "<c:item objectid=\"9\"/>"
            "</c:build></c:model>";
        const QByteArray part =
            "<?xml version=\"1.0\"?>\n<model unit=\"centimeter\"><resources>"
            "<object id=\"7\"><mesh><vertices><vertex x=\"0\" y=\"0\" z=\"0\"/><vertex x=\"2\" y=\"0\" z=\"0\"/>"
            "<vertex x=\"0\" y=\"2\" z=\"0\"/></vertices><triangles><triangle v1=\"0\" v2=\"1\" v3=\"2\"/></triangles>"
            "</mesh></object></resources><build/></model>";
        const QByteArray rels =
            "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Target=\"/Metadata/thumbnail.png\" Id=\"r0\" "
            "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/thumbnail\"/>"
            "<Relationship Target=\"/3D/Assembly%20one.model\" Id=\"r1\" "
            "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/></Relationships>";
        const QString path = m_dir.filePath("assembly.3mf");
        writeZip(path, {{"[Content_Types].xml", "<Types/>"}, {"_rels/.rels", rels},
                        {"Metadata/thumbnail.png", "png"}, {"3D/Assembly one.model", model},
                        {"3D/Objects/part one.model", part}});

        const ModelReadResult r = readModelFile(path);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.meshes.size(), 1);
        const Mesh &m = r.meshes.at(0);
        QCOMPARE(m.triangleCount(), std::size_t(4));
        // Item 1, in mm: (0,0,0) → (100,0,0); (1,0,0) → (100,10,0); (0,1,0) → (90,0,0).
        QCOMPARE(row(m, 0), (std::vector<float>{100, 0, 0}));
        QCOMPARE(row(m, 1), (std::vector<float>{100, 10, 0}));
        QCOMPARE(row(m, 2), (std::vector<float>{90, 0, 0}));
        // Component 1 of the assembly: moved by (2,0,0) and then by the item's (0,5,0) cm.
        QCOMPARE(row(m, 3), (std::vector<float>{20, 50, 0}));
        QCOMPARE(row(m, 5), (std::vector<float>{20, 60, 0}));
        // Component 2 is mirrored in x: its corners come out (0,50,30), (−10,50,30), (0,60,30),
        // and its triangle keeps facing outwards by swapping two corners.
        QCOMPARE(row(m, 7), (std::vector<float>{-10, 50, 30}));
        // The other part's object 7 is the 2 cm triangle, lifted by 10 cm.
        QCOMPARE(row(m, 9), (std::vector<float>{0, 0, 100}));
        QCOMPARE(row(m, 10), (std::vector<float>{20, 0, 100}));
        QCOMPARE(row(m, 11), (std::vector<float>{0, 20, 100}));
        QCOMPARE(std::vector<uint32_t>(m.indices.begin(), m.indices.end()),
                 (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6, 8, 7, 9, 10, 11}));

        // Without its other part the file says what is missing instead of coming out empty.
        const QString cut = m_dir.filePath("cut.3mf");
        writeZip(cut, {{"_rels/.rels", rels}, {"3D/Assembly one.model", model}});
        const ModelReadResult broken = readModelFile(cut);
        QVERIFY2(broken.error.contains("3D/Objects/part one.model, which the file does not hold"), qPrintable(broken.error));
    }

    void loaderSendsTheColoursBeforeTheMeshes()
    {
        const QString path = write3mf("signals.3mf", modelXml(colorGroup(1, "#FF0000") + triangleObject(2, 0, 0, 0) +
                                                              colorGroup(3, "#00FF00") + triangleObject(4, 5, 0, 0)));
        registerSceneMetaTypes();
        auto *loader = new Loader(nullptr, path);
        QStringList order;
        QList<Object::modelColor> codes;
        QObject::connect(loader, &Loader::sendColorList, loader, [&](QList<Object::modelColor> c) {
            order << "colours";
            codes = c;
        }, Qt::DirectConnection);
        QObject::connect(loader, &Loader::got_mesh, loader, [&](QList<Mesh> meshes, QString) {
            order << QString("meshes %1").arg(meshes.size());
        }, Qt::DirectConnection);
        QObject::connect(loader, &QThread::finished, loader, &QObject::deleteLater);
        QSignalSpy destroyed(loader, &QObject::destroyed);
        loader->start();
        QVERIFY(destroyed.wait(10000));
        QCOMPARE(order, (QStringList{"colours", "meshes 2"}));
        QCOMPARE(codes, (QList<Object::modelColor>{0, 1}));
    }

    void damagedAndHostileFilesAreRefused_data()
    {
        QTest::addColumn<QList<Member>>("members");
        QTest::addColumn<QString>("reason");
        const QByteArray good = modelXml(triangleObject(1, 0, 0, 0));
        QTest::newRow("model part outside its folder")
            << QList<Member>{{"../3dmodel.model", good}} << "points outside its folder";
        QTest::newRow("model part as a link") << QList<Member>{{"3D/3dmodel.model", "/etc/passwd", true}} << "is a link";
        QTest::newRow("no model part") << QList<Member>{{"3D/other.txt", good}} << "no model part";
        QTest::newRow("broken XML") << QList<Member>{{"3D/3dmodel.model", good.left(good.size() - 20)}}
                                    << "not valid XML";
        QTest::newRow("corner beyond the vertices")
            << QList<Member>{{"3D/3dmodel.model", modelXml(triangleObject(1, 0, 0, 0).replace("v3=\"2\"", "v3=\"9\""))}}
            << "but 3 vertices";
        QTest::newRow("component of itself")
            << QList<Member>{{"3D/3dmodel.model",
                              modelXml(triangleObject(1, 0, 0, 0) +
                                           "<object id=\"2\"><components><component objectid=\"1\"/>"
                                           "<component objectid=\"2\"/></components></object>",
                                       "<build><item objectid=\"2\"/></build>")}}
            << "nested more than";
        QTest::newRow("no objects") << QList<Member>{{"3D/3dmodel.model", modelXml("")}} << "holds no objects";
        // Finite values whose product no float holds: the mesh would carry infinite corners.
        QTest::newRow("placement past float range")
            << QList<Member>{{"3D/3dmodel.model",
                              modelXml(triangleObject(1, 4, 0, 0),
                                       "<build><item objectid=\"1\" transform=\"1e38 0 0 0 1 0 0 0 1 0 0 0\"/></build>")}}
            << "too large to represent";
        QTest::newRow("unit past float range")
            << QList<Member>{{"3D/3dmodel.model", modelXml(triangleObject(1, 3e37f, 0, 0), QByteArray(), "meter")}}
            << "too large to represent";
        QTest::newRow("entity declarations")
            << QList<Member>{{"3D/3dmodel.model", "<?xml version=\"1.0\"?><!DOCTYPE model [<!ENTITY a \"aaaa\">]>"
                                                  "<model><resources/></model>"}}
            << "document type";
    }

    void damagedAndHostileFilesAreRefused()
    {
        QFETCH(QList<Member>, members);
        QFETCH(QString, reason);
        const QString path = m_dir.filePath(QString("bad_%1.3mf").arg(QTest::currentDataTag()).replace(' ', '_'));
        writeZip(path, members);
        const ModelReadResult r = readModelFile(path);
        QVERIFY(!r.ok());
        QVERIFY2(r.error.contains(reason), qPrintable(r.error));
        QVERIFY(r.meshes.isEmpty());
    }

    void oversizedMembersAreNotUnpacked()
    {
        const QString path = m_dir.filePath("big.zip");
        writeZip(path, {{"3D/3dmodel.model", QByteArray(3 * 1024 * 1024, ' ')}});
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray zip = f.readAll();
        const ZipDirectory dir = readZipDirectory(zip);
        QVERIFY(dir.ok());
        QCOMPARE(dir.entries.size(), 1);
        QCOMPARE(dir.entries.at(0).size, quint64(3 * 1024 * 1024));

        QByteArray out;
        QString why;
        QVERIFY(!readZipEntry(zip, dir.entries.at(0), 1024 * 1024, &out, &why));
        QVERIFY2(why.contains("too large"), qPrintable(why));
        QVERIFY(readZipEntry(zip, dir.entries.at(0), 4 * 1024 * 1024, &out, &why));
        QCOMPARE(out.size(), 3 * 1024 * 1024);

        // A bomb that claims to be small: the directory says 1000 bytes, the stream holds 3 MiB.
        const int central = zip.lastIndexOf(QByteArray("PK\x01\x02", 4));
        QVERIFY(central > 0);
        qToLittleEndian<quint32>(1000, reinterpret_cast<uchar *>(zip.data() + central + 24));
        const ZipDirectory lying = readZipDirectory(zip);
        QVERIFY(!readZipEntry(zip, lying.entries.at(0), 1024 * 1024, &out, &why));
        QVERIFY2(why.contains("stated size"), qPrintable(why));
        QVERIFY(out.isEmpty());

        // A file that is no archive at all.
        const QString junk = writeFixture(m_dir.filePath("junk.3mf"), QByteArray(5000, 'x'));
        QVERIFY(readModelFile(junk).error.contains("not a ZIP archive"));

        // Names that would leave an extraction folder.
        for (const char *bad : {"../x.png", "a/../../x.png", "/etc/passwd", "C:\\x.png", "C:x.png", "a\\b.png", ""})
            QVERIFY2(!unsafeMemberNameReason(bad).isEmpty(), qPrintable(bad));
        for (const char *ok : {"S000001_P1.png", "3D/3dmodel.model", "a..b.png"})
            QVERIFY2(unsafeMemberNameReason(ok).isEmpty(), qPrintable(ok));
    }
};

QTEST_GUILESS_MAIN(ThreeMfTest)
#include "tst_threemf.moc"
