#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "support_scene.h"

#include "scene/Loader.h"
#include "scene/SceneMetaTypes.h"

namespace {

// Stands in for the main window: receives the loader's signals in the main thread.
class Receiver : public QObject
{
    Q_OBJECT
public:
    QList<QList<Mesh>> meshes;
    QStringList names;
    QStringList log;
    QList<int> progress;
    int failures = 0;
public slots:
    void onMesh(QList<Mesh> mv, QString name)
    {
        QVERIFY(QThread::currentThread() == QCoreApplication::instance()->thread());
        meshes << mv;
        names << name;
    }
    void onLog(QString line) { log << line; }
    void onProgress(int p) { progress << p; }
    void onError() { ++failures; }
};

} // namespace

// The loader thread: what reaches the window, through queued connections, for good and bad files.
class LoaderTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &data) { return writeFixture(m_dir.filePath(name), data); }

    // Runs one loader to the end and delivers its queued signals.
    static void load(const QString &path, Receiver &rx)
    {
        auto *loader = new Loader(nullptr, path);
        QObject::connect(loader, &Loader::got_mesh, &rx, &Receiver::onMesh, Qt::QueuedConnection);
        QObject::connect(loader, &Loader::updateLogWindow, &rx, &Receiver::onLog, Qt::QueuedConnection);
        QObject::connect(loader, &Loader::signalUpdateProgBar, &rx, &Receiver::onProgress, Qt::QueuedConnection);
        QObject::connect(loader, &Loader::error_bad_stl, &rx, &Receiver::onError, Qt::QueuedConnection);
        QObject::connect(loader, &QThread::finished, loader, &QObject::deleteLater);
        QSignalSpy destroyed(loader, &QObject::destroyed);
        loader->start();
        QVERIFY(destroyed.wait(10000));
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase()
    {
        qputenv("ORVELL3D_DATA_DIR", m_dir.filePath("data").toUtf8());
        registerSceneMetaTypes();
        registerSceneMetaTypes();   // a second call is harmless
    }

    void goodFileDeliversOneMeshAndItsSummary()
    {
        Receiver rx;
        const QString path = write("tri.stl", binaryStl({{0, 0, 0, 1, 0, 0, 0, 1, 0}}));
        load(path, rx);
        QCOMPARE(rx.failures, 0);
        QCOMPARE(rx.meshes.size(), 1);
        QCOMPARE(rx.names, QStringList{path});
        QCOMPARE(rx.meshes[0].size(), 1);
        QCOMPARE(rx.meshes[0][0].indices, (std::vector<uint32_t>{0, 2, 1}));
        QCOMPARE(rx.log.size(), 2);
        QVERIFY(rx.log[0].startsWith("Binary STL file with 1 triangle meshes loaded in: "));
        // A lone triangle is open; the check says so and leaves it as it is.
        QCOMPARE(rx.log[1], QString("Mesh check: open edges: 3, shells: 1, repaired: nothing"));
        QCOMPARE(rx.progress.last(), 100);
    }

    void bundledBuildPlateLoadsQuietly()
    {
        Receiver rx;
        load(":/BuildPlate_SAv1.STL", rx);
        QCOMPARE(rx.meshes.size(), 1);
        QVERIFY(rx.log.isEmpty());
    }

    void badFileReportsAndHandsNothingOn()
    {
        Receiver rx;
        load(write("broken.obj", "v 0 0 0\nf 1 1 1 1 1\n"), rx);
        QCOMPARE(rx.failures, 1);
        QVERIFY(rx.meshes.isEmpty());
        QCOMPARE(rx.log.size(), 1);
        QVERIFY2(rx.log[0].startsWith("Could not load broken.obj: line 2"), qPrintable(rx.log[0]));
    }
};

QTEST_GUILESS_MAIN(LoaderTest)
#include "tst_loader.moc"
