#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <opencv2/core.hpp>

#include "imaging/LayerPng.h"
#include "package/Archiver.h"
#include "package/PackageCheck.h"
#include "package/PackageFiles.h"
#include "package/PackageImport.h"

namespace {

// A member's bytes read by unzip, a tool independent of ours.
QByteArray unzipMember(const QString &package, const QString &member)
{
    QProcess p;
    p.start("unzip", {"-p", "-P", packagePassword(), package, member});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QByteArray();
    return p.readAllStandardOutput();
}

// Writes a plain ZIP with Python's zipfile; names are stored as given, links when asked.
void writeZip(const QString &path, const QList<QPair<QString, QByteArray>> &members, const QString &linkName = {})
{
    QJsonArray list;
    for (const auto &m : members)
        list.append(QJsonObject{{"name", m.first}, {"data", QString::fromLatin1(m.second.toBase64())}});
    const char *script =
        "import sys, json, base64, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1], 'w')\n"
        "for m in json.load(sys.stdin):\n"
        "    i = zipfile.ZipInfo(m['name'])\n"
        "    if m['name'] == sys.argv[2]:\n"
        "        i.create_system = 3\n"
        "        i.external_attr = 0o120777 << 16\n"
        "    z.writestr(i, base64.b64decode(m['data']))\n"
        "z.close()\n";
    QProcess py;
    py.start("python3", {"-c", script, path, linkName});
    QVERIFY(py.waitForStarted());
    py.write(QJsonDocument(list).toJson());
    py.closeWriteChannel();
    QVERIFY(py.waitForFinished(30000));
    QVERIFY2(py.exitCode() == 0, py.readAllStandardError().constData());
}

QByteArray png(int width, int height, int grey)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    image.fill(grey);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

const QByteArray header = "Machine = Stellan-Arc 2.0\r\nSlice thickness = 50\r\nnumber of slices = 2\r\n"
                          "illumination time = 8\r\nnumber of override slices = 1\r\noverride illumination time = 60\r\n";

} // namespace

// Reading print packages back: the schedule, layer images, replacing a layer, hostile archives.
class PackageImportTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // A package written by our own export: layer i (1-based) is grey 20·i, 30 × 20 pixels.
    QString exportedPackage(const QString &name, const PackageDescription &run)
    {
        PackageJob job;
        QString error;
        if (!beginPackage(m_dir.filePath(name), &job, &error))
            qFatal("beginPackage: %s", qPrintable(error));
        for (std::size_t i = 0; i < run.images.size(); ++i) {
            cv::Mat layer(run.heightPx, run.widthPx, CV_8UC1, cv::Scalar(20 * int(i + 1)));
            if (!writeLayerPng(layer, job.workFolder + "/" + layerFileName(int(i + 1)), &error))
                qFatal("writeLayerPng: %s", qPrintable(error));
        }
        if (!finishPackage(job, run, {}, Archiver(), &error))
            qFatal("finishPackage: %s", qPrintable(error));
        return job.packagePath;
    }

    static PackageDescription fourImages()
    {
        PackageDescription r;
        r.widthPx = 30;
        r.heightPx = 20;
        r.normalExposureS = 8;
        r.firstLayerCount = 1;
        r.firstLayerExposureS = 60;
        r.supportExposureS = 12.5;
        r.sliceThicknessUm = 50;
        // The second layer has a separate support image at the same height.
        r.images = {{0.05, 0}, {0.1, 2}, {0.1, 3}, {0.15, 0}};
        return r;
    }

private slots:
    void exportedPackageReadsBackItsSchedule()
    {
        const QString path = exportedPackage("round.lpk", fourImages());
        LpkPackage package;
        QString error;
        QVERIFY2(package.open(path, &error), qPrintable(error));
        const PackageSchedule &s = package.schedule();
        QCOMPARE(s.machine, QString("Stellan-Arc 2.0"));
        QCOMPARE(s.sliceThicknessUm, 50);
        QCOMPARE(s.declaredSliceCount, 4);
        QCOMPARE(s.normalExposureS, 8.0);
        QCOMPARE(s.firstLayerCount, 1);
        QCOMPARE(s.firstLayerExposureS, 60.0);
        QCOMPARE(s.layers.size(), 4);
        // First layer 60 s; the split layer's first image has lift 0, its support image 12.5 s.
        const double z[] = {0.05, 0.1, 0.1, 0.15}, exposure[] = {60, 8, 12.5, 8}, lift[] = {4, 0, 4, 4};
        const int kind[] = {0, 2, 3, 0};
        for (int i = 0; i < 4; ++i) {
            const PackageLayer &l = s.layers.at(i);
            QCOMPARE(l.zMm, z[i]);
            QCOMPARE(l.imageName, QString::asprintf("S%06d_P1", i + 1));
            QCOMPARE(l.exposureS, exposure[i]);
            QCOMPARE(l.lift, lift[i]);
            QCOMPARE(l.kind, kind[i]);
        }
        QCOMPARE(package.layerImagePaths().at(2), QFileInfo(path).absolutePath() + "/S000003_P1.png");
        QCOMPARE(package.parameters().value("MACHINE SETTINGS/Image size in X"), QString("30"));

        // Layers come out one at a time, and nothing is unpacked beside the package.
        const QImage third = package.layerImage(2, &error);
        QCOMPARE(third.size(), QSize(30, 20));
        QCOMPARE(qGray(third.pixel(5, 5)), 60);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"round.lpk"});
        QVERIFY(checkPackage(package).problems.isEmpty());
    }

    void buildscriptLinesAreReadByPosition()
    {
        PackageSchedule s;
        QString error;
        // A fractional thickness is rounded, not truncated to nothing.
        QByteArray text = header;
        text.replace("Slice thickness = 50", "Slice thickness = 25.5");
        QVERIFY(parseBuildscript(text + "0.0500, S000001_P1, 60.0, 4.0, 0\r\n\r\n0.1000, S000002_P1, 8.0, 4.0, 3\r\n",
                                 &s, &error));
        QCOMPARE(s.sliceThicknessUm, 26);
        QCOMPARE(s.layers.size(), 2);
        QCOMPARE(s.layers.at(0).zMm, 0.05);
        QCOMPARE(s.layers.at(0).imageName, QString("S000001_P1"));
        QCOMPARE(s.layers.at(0).exposureS, 60.0);
        QCOMPARE(s.layers.at(0).lift, 4.0);
        QCOMPARE(s.layers.at(1).kind, 3);
        // A header value that is no number reads as 0.
        QVERIFY(parseBuildscript(QByteArray(header).replace("= 8", "= fast"), &s, &error));
        QCOMPARE(s.normalExposureS, 0.0);

        // Damaged schedules are refused whole, naming the line.
        const PackageSchedule before = s;
        QVERIFY(!parseBuildscript(header + "0.05, S000001_P1, 60.0\r\n", &s, &error));
        QVERIFY2(error.contains("line 7 has 3 columns"), qPrintable(error));
        QVERIFY(!parseBuildscript(header + "0.05, S000001_P1, x, 4.0, 0\r\n", &s, &error));
        QVERIFY2(error.contains("not a number"), qPrintable(error));
        QVERIFY(!parseBuildscript(header + "0.05, ../../etc/passwd, 8, 4.0, 0\r\n", &s, &error));
        QVERIFY2(error.contains("not a file name"), qPrintable(error));
        QVERIFY(!parseBuildscript("Machine = X\r\n", &s, &error));
        QCOMPARE(s.normalExposureS, before.normalExposureS);
    }

    void damagedNumbersAndZeroBytesAreRefused()
    {
        PackageSchedule s;
        QString error;
        const QByteArray layers = "0.0500, S000001_P1, 60.0, 4.0, 0\r\n0.1000, S000002_P1, 8.0, 4.0, 0\r\n";
        // Zeros written over the middle of the file (a write cut short) must not read as a
        // schedule that simply ends there.
        QByteArray zeroed = header + layers;
        zeroed[header.size()] = '\0';
        QVERIFY(!parseBuildscript(zeroed, &s, &error));
        QVERIFY2(error.contains("line 7"), qPrintable(error));
        QByteArray zeroedHeader = header + layers;
        zeroedHeader[10] = '\0';
        QVERIFY(parseBuildscript(zeroedHeader, &s, &error));
        QCOMPARE(s.layers.size(), 2);

        // nan and inf are no exposures or heights.
        for (const char *bad : {"nan", "inf", "-inf", "1e999"}) {
            QVERIFY(!parseBuildscript(header + QByteArray("0.05, S000001_P1, ") + bad + ", 4.0, 0\r\n", &s, &error));
            QVERIFY2(error.contains("not a number"), qPrintable(error));
            QVERIFY(!parseBuildscript(header + bad + QByteArray(", S000001_P1, 8, 4.0, 0\r\n"), &s, &error));
        }
        // In the header they read as 0, like any other value that is no number.
        QVERIFY(parseBuildscript(QByteArray(header).replace("= 8", "= inf") + layers, &s, &error));
        QCOMPARE(s.normalExposureS, 0.0);
        QVERIFY(parseBuildscript(QByteArray(header).replace("Slice thickness = 50", "Slice thickness = 1e300"), &s, &error));
        QCOMPARE(s.sliceThicknessUm, 0);
    }

    void replacingALayerCopiesItUnderTheOtherName()
    {
        PackageDescription run = fourImages();
        run.images.clear();
        for (int i = 0; i < 8; ++i)
            run.images.push_back({0.05 * (i + 1), 0});
        const QString path = exportedPackage("replace.lpk", run);
        const QByteArray script = unzipMember(path, "buildscript.ini");
        const QByteArray seventh = unzipMember(path, "S000007_P1.png");
        const QByteArray second = unzipMember(path, "S000002_P1.png");
        QVERIFY(!seventh.isEmpty());

        LpkPackage package;
        QString error;
        QVERIFY2(package.open(path, &error), qPrintable(error));
        // Slice 3 (index 2) takes a copy of slice 7 (index 6).
        QVERIFY2(package.replaceLayer(2, 6, &error), qPrintable(error));
        QCOMPARE(unzipMember(path, "S000003_P1.png"), seventh);
        QCOMPARE(unzipMember(path, "S000007_P1.png"), seventh);
        QCOMPARE(unzipMember(path, "S000002_P1.png"), second);
        QCOMPARE(unzipMember(path, "buildscript.ini"), script);
        QCOMPARE(qGray(package.layerImage(2).pixel(0, 0)), 140);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).filter("replace").size(), 1);

        QVERIFY(!package.replaceLayer(2, 8, &error));   // there is no ninth slice
        QCOMPARE(unzipMember(path, "S000003_P1.png"), seventh);
    }

    void hostileAndDamagedPackagesAreRefused()
    {
        const QByteArray script = header + "0.05, S000001_P1, 60, 4.0, 0\r\n0.10, S000002_P1, 8, 4.0, 0\r\n";
        QString error;
        {
            const QString path = m_dir.filePath("escape.lpk");
            writeZip(path, {{"buildscript.ini", script}, {"../S000001_P1.png", png(4, 4, 255)}});
            LpkPackage package;
            QVERIFY(!package.open(path, &error));
            QVERIFY2(error.contains("points outside its folder"), qPrintable(error));
            QVERIFY(!package.isOpen());
        }
        {
            const QString path = m_dir.filePath("absolute.lpk");
            writeZip(path, {{"buildscript.ini", script}, {"/tmp/S000001_P1.png", png(4, 4, 255)}});
            LpkPackage package;
            QVERIFY(!package.open(path, &error));
            QVERIFY2(error.contains("absolute path"), qPrintable(error));
        }
        {
            const QString path = m_dir.filePath("link.lpk");
            writeZip(path, {{"buildscript.ini", script}, {"S000001_P1.png", "/etc/passwd"}}, "S000001_P1.png");
            LpkPackage package;
            QVERIFY(!package.open(path, &error));
            QVERIFY2(error.contains("is a link"), qPrintable(error));
        }
        {
            const QString path = m_dir.filePath("noscript.lpk");
            writeZip(path, {{"S000001_P1.png", png(4, 4, 255)}});
            LpkPackage package;
            QVERIFY(!package.open(path, &error));
            QVERIFY2(error.contains("buildscript.ini"), qPrintable(error));
        }
        {
            // Readable schedule, but one layer is text, one is too big, one is missing.
            const QString path = m_dir.filePath("layers.lpk");
            writeZip(path, {{"buildscript.ini", script + "0.15, S000003_P1, 8, 4.0, 0\r\n"},
                            {"parameters.ini", "[MACHINE SETTINGS]\r\nImage size in X = 4\r\nImage size in Y = 4\r\n"},
                            {"S000001_P1.png", "not a picture"},
                            {"S000002_P1.png", QByteArray(3000, '\0')}});
            LpkPackage package;
            QVERIFY2(package.open(path, &error), qPrintable(error));
            package.setMaxLayerBytes(2000);
            QVERIFY(package.layerImage(0, &error).isNull());
            QVERIFY2(error.contains("not a readable PNG"), qPrintable(error));
            QVERIFY(package.layerImage(1, &error).isNull());
            QVERIFY2(error.contains("too large"), qPrintable(error));
            QVERIFY(package.layerImage(2, &error).isNull());
            QVERIFY2(error.contains("holds no S000003_P1.png"), qPrintable(error));
        }
    }

    void checkNamesWhatIsWrong()
    {
        const QString path = m_dir.filePath("check.lpk");
        writeZip(path, {{"buildscript.ini", header + "0.10, S000001_P1, 60, 4.0, 0\r\n0.05, S000002_P1, 8, 4.0, 0\r\n"
                                                      "0.15, S000003_P1, 8, 4.0, 0\r\n"},
                        {"parameters.ini", "[MACHINE SETTINGS]\r\nImage size in X = 30\r\nImage size in Y = 20\r\n"},
                        {"S000001_P1.png", png(30, 20, 255)},
                        {"S000002_P1.png", png(10, 20, 255)},   // packed: a third of the width
                        {"S000003_P1.png", png(31, 20, 255)},
                        {"notes.txt", "x"}});
        LpkPackage package;
        QString error;
        QVERIFY2(package.open(path, &error), qPrintable(error));
        const PackageReport r = checkPackage(package);
        QCOMPARE(r.layerImagesFound, 3);
        QCOMPARE(r.otherMembers, QStringList{"notes.txt"});
        QCOMPARE(r.expectedSize, QSize(30, 20));
        QCOMPARE(r.problems,
                 (QStringList{"buildscript.ini announces 2 slices but lists 3",
                              "line 2 (S000002_P1) is lower than the line before it: 0.05 mm after 0.1 mm",
                              "S000003_P1.png is 31 x 20 pixels, not 30 x 20"}));
    }
};

QTEST_GUILESS_MAIN(PackageImportTest)
#include "tst_packageimport.moc"
