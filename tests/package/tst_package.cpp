#include <QtTest>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <opencv2/core.hpp>

#include "imaging/LayerPng.h"
#include "package/Archiver.h"
#include "package/PackageFiles.h"

namespace {

struct Tool
{
    int exitCode = -1;
    QByteArray output;
};

Tool runTool(const QString &program, const QStringList &args, const QString &folder = QString())
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    p.start(program, args);
    Tool t;
    if (!p.waitForStarted() || !p.waitForFinished(60000))
        return t;
    t.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    t.output = p.readAll();
    return t;
}

QStringList sortedFiles(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

PackageDescription threeLayers()
{
    PackageDescription r;
    r.material = "Standard Grey";
    r.widthPx = 30;
    r.heightPx = 20;
    r.images = {{0.05, 0}, {0.1, 0}, {0.15, 0}};
    return r;
}

QList<QImage> previews(int count)
{
    QList<QImage> out;
    for (int i = 0; i < count; ++i) {
        QImage img(8, 6, QImage::Format_RGB32);
        img.fill(qRgb(10 * i, 20, 30));
        out << img;
    }
    return out;
}

// Starts a package and puts the run's layer images into its working folder, as the slicer does.
PackageJob startedPackage(const QString &path, const PackageDescription &run)
{
    PackageJob job;
    QString error;
    if (!beginPackage(path, &job, &error))
        qFatal("beginPackage: %s", qPrintable(error));
    for (std::size_t i = 0; i < run.images.size(); ++i) {
        cv::Mat layer(run.heightPx, run.widthPx, CV_8UC1, cv::Scalar(int(i) * 50));
        if (!writeLayerPng(layer, job.workFolder + "/" + layerFileName(int(i + 1)), &error))
            qFatal("writeLayerPng: %s", qPrintable(error));
    }
    return job;
}

const QStringList expectedEntries = {
    "Preview_Front.png", "Preview_Left.png", "Preview_Right.png", "Preview_TFR.png", "Preview_Top.png",
    "S000001_P1.png", "S000002_P1.png", "S000003_P1.png", "buildscript.ini", "parameters.ini"};

} // namespace

// Whole packages through the external archive tool, opened again by the tools printers and
// users have: 7za, unzip and Python's zipfile, all with the package password.
class PackageTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;

private slots:
    // Working folders go to the data folder's "temp": a test folder, never the user's.
    void initTestCase() { qputenv("ORVELL3D_DATA_DIR", QFile::encodeName(m_data.path())); }

    void packageOpensWithEveryZipReader()
    {
        QTemporaryDir dir;
        const PackageDescription run = threeLayers();
        const QString path = packagePathFor(dir.path() + "/My Part.lpk", 50);
        const PackageJob job = startedPackage(path, run);
        QString error;
        QVERIFY2(finishPackage(job, run, previews(5), Archiver(), &error), qPrintable(error));
        QVERIFY(QFileInfo(dir.path() + "/My_Part_z50.lpk").isFile());
        QVERIFY(!QFileInfo::exists(job.workFolder));
        QCOMPARE(sortedFiles(dir.path()), QStringList{"My_Part_z50.lpk"});   // no leftovers

        const QString out7 = dir.path() + "/x7";
        Tool t = runTool("7za", {"x", "-pKVTR570213", "-o" + out7, path});
        QVERIFY2(t.exitCode == 0, t.output.constData());
        QCOMPARE(sortedFiles(out7), expectedEntries);
        QFile script(out7 + "/buildscript.ini");
        QVERIFY(script.open(QIODevice::ReadOnly));
        QCOMPARE(script.readAll(), buildscriptText(run));
        QCOMPARE(QImage(out7 + "/S000003_P1.png").pixel(0, 0), qRgb(100, 100, 100));

        const QString outUnzip = dir.path() + "/xu";
        t = runTool("unzip", {"-P", "KVTR570213", "-d", outUnzip, path});
        QVERIFY2(t.exitCode == 0, t.output.constData());
        QCOMPARE(sortedFiles(outUnzip), expectedEntries);

        t = runTool("python3", {"-c",
                                "import sys, zipfile\n"
                                "z = zipfile.ZipFile(sys.argv[1])\n"
                                "z.setpassword(b'KVTR570213')\n"
                                "names = sorted(z.namelist())\n"
                                "assert all(len(z.read(n)) > 0 for n in names)\n"
                                "assert all(i.flag_bits & 1 for i in z.infolist())\n"
                                "print(','.join(names))\n",
                                path});
        QVERIFY2(t.exitCode == 0, t.output.constData());
        QCOMPARE(QString::fromUtf8(t.output.trimmed()), expectedEntries.join(','));

        // Without the password nothing comes out.
        t = runTool("unzip", {"-P", "wrong", "-d", dir.path() + "/xw", path});
        QVERIFY(t.exitCode != 0);
    }

    void existingPackageIsReplacedNotAppendedTo()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/part_z50.lpk";
        QFile stray(dir.path() + "/old.txt");
        QVERIFY(stray.open(QIODevice::WriteOnly));
        stray.write("old");
        stray.close();
        QVERIFY(runTool("7za", {"a", "-tzip", "-pKVTR570213", path, stray.fileName()}).exitCode == 0);

        PackageDescription run = threeLayers();
        run.images.resize(1);
        const PackageJob job = startedPackage(path, run);
        QString error;
        QVERIFY2(finishPackage(job, run, previews(2), Archiver(), &error), qPrintable(error));
        const Tool t = runTool("unzip", {"-Z1", path});
        QCOMPARE(QString::fromUtf8(t.output).split('\n', Qt::SkipEmptyParts),
                 (QStringList{"Preview_Front.png", "Preview_Top.png", "S000001_P1.png", "buildscript.ini",
                              "parameters.ini"}));
    }

    // A failing archive tool (a full disk is the usual reason) leaves neither the working
    // folder nor a partial archive, and the older package as it was.
    void failedArchiveRemovesWorkAndKeepsOldPackage()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/part_z50.lpk";
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("previous package");
        old.close();
        const PackageDescription run = threeLayers();

        // Writes half an archive where it was asked to, then reports the full disk as 7za does.
        const QString fullDisk = dir.path() + "/full-disk-7za";
        QFile script(fullDisk);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nwhile [ \"$1\" != \"--\" ]; do shift; done\n"
                     "head -c 5000 /dev/zero > \"$2\"\n"
                     "echo 'ERROR: No space left on device' >&2\nexit 2\n");
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        struct Case { QString program; QString says; };
        const QList<Case> cases = {{fullDisk, "No space left on device"},
                                   {"false", "exit code 1"},
                                   {"orvell3d-no-such-archiver", "could not be started"}};
        for (const Case &c : cases) {
            const PackageJob job = startedPackage(path, run);
            QString error;
            QVERIFY(!finishPackage(job, run, previews(5), Archiver(c.program), &error));
            QVERIFY2(error.contains(c.says), qPrintable(error));
            QVERIFY(!QFileInfo::exists(job.workFolder));
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), QByteArray("previous package"));
            old.close();
        }
        QCOMPARE(sortedFiles(dir.path()), (QStringList{"full-disk-7za", "part_z50.lpk"}));
        QCOMPARE(QDir(m_data.path() + "/temp").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    void missingLayerImageIsAnErrorNotAnEmptyPackage()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/part_z50.lpk";
        PackageDescription run = threeLayers();
        const PackageJob job = startedPackage(path, run);
        QVERIFY(QFile::remove(job.workFolder + "/S000002_P1.png"));
        QString error;
        QVERIFY(!finishPackage(job, run, previews(5), Archiver(), &error));
        QVERIFY2(error.contains("S000002_P1.png"), qPrintable(error));
        QVERIFY(!QFileInfo::exists(path));
    }

    void unwritablePackageFolderFailsBeforeWritingAnything()
    {
        PackageJob job;
        QString error;
        QVERIFY(!beginPackage("/proc/part_z50.lpk", &job, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFileInfo::exists("/proc/part_z50.lpk"));
        QVERIFY(!QFileInfo::exists("/proc/part_z50"));
    }

    void extractionGivesOneMemberAndRefusesUnsafeNames()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/p_z50.lpk";
        const PackageDescription run = threeLayers();
        QString error;
        QVERIFY(finishPackage(startedPackage(path, run), run, {}, Archiver(), &error));

        const QString out = dir.path() + "/out";
        QVERIFY(QDir().mkpath(out));
        const Archiver archiver;
        QVERIFY2(archiver.extractFlat(path, "buildscript.ini", out, packagePassword(), &error), qPrintable(error));
        QCOMPARE(sortedFiles(out), QStringList{"buildscript.ini"});
        // Never over an existing file, never a missing member, never with the wrong password.
        QVERIFY(!archiver.extractFlat(path, "buildscript.ini", out, packagePassword(), &error));
        QVERIFY(!archiver.extractFlat(path, "S000009_P1.png", out, packagePassword(), &error));
        QVERIFY(error.contains("S000009_P1.png"));
        QVERIFY(!archiver.extractFlat(path, "S000001_P1.png", out, "wrong", &error));
        for (const char *bad : {"-ofoo", "@list", "../x.png", "*", "a/b.png", ""})
            QVERIFY2(!archiver.extractFlat(path, bad, out, packagePassword(), &error), bad);
        QCOMPARE(sortedFiles(out), QStringList{"buildscript.ini"});

        // Adding a file with the name of an entry replaces that entry.
        QFile replacement(out + "/S000001_P1.png");
        QVERIFY(replacement.open(QIODevice::WriteOnly));
        replacement.write("new");
        replacement.close();
        QVERIFY(archiver.add(path, out, {"S000001_P1.png"}, packagePassword(), &error));
        const Tool t = runTool("unzip", {"-p", "-P", "KVTR570213", path, "S000001_P1.png"});
        QCOMPARE(t.output, QByteArray("new"));
    }

    void modelPartIsExtractedWithItsPath()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.path() + "/src/3D"));
        QFile model(dir.path() + "/src/3D/3dmodel.model");
        QVERIFY(model.open(QIODevice::WriteOnly));
        model.write("<model/>");
        model.close();
        const QString archive = dir.path() + "/box.3mf";
        QVERIFY(runTool("7za", {"a", "-tzip", archive, "3D"}, dir.path() + "/src").exitCode == 0);

        QString error;
        QVERIFY2(Archiver().extractWithPaths(archive, dir.path() + "/out", "3dmodel.model", &error),
                 qPrintable(error));
        QVERIFY(QFileInfo(dir.path() + "/out/3D/3dmodel.model").isFile());
        // Extracting again overwrites without asking.
        QVERIFY(Archiver().extractWithPaths(archive, dir.path() + "/out", "3dmodel.model", &error));
        QVERIFY(!Archiver().extractWithPaths(dir.path() + "/none.3mf", dir.path() + "/out", "3dmodel.model", &error));
    }
};

QTEST_GUILESS_MAIN(PackageTest)
#include "tst_package.moc"
