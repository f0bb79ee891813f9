#include <QtTest>
#include <QTemporaryDir>

#include "package/LpkExport.h"
#include "package/PackageFiles.h"

namespace {

// Three layers with supports on the second: image kinds 0, 2, 3, 0, 1.
PackageDescription knownRun()
{
    PackageDescription r;
    r.material = "Standard Grey";
    r.sliceThicknessUm = 50;
    r.normalExposureS = 8.5;
    r.firstLayerCount = 1;
    r.firstLayerExposureS = 60;
    r.supportExposureS = 2.25;
    r.compensationXPercent = 0.5;
    r.compensationYPercent = -1.25;
    r.compensationZPercent = 0;
    r.antiAliasing = 1;
    r.verticalMirror = true;
    r.horizontalMirror = false;
    r.widthPx = 1920;
    r.heightPx = 1080;
    r.pixelSizeXUm = 33.5;
    r.pixelSizeYUm = 33;
    r.images = {{0.05, 0}, {0.1, 2}, {0.1, 3}, {0.15, 0}, {0.2, 1}};
    return r;
}

} // namespace

// The package's text files and naming, which printers and the importer read positionally.
class PackageFilesTest : public QObject
{
    Q_OBJECT
private slots:
    void buildscriptIsByteExact()
    {
        const QByteArray expected =
            "Machine = Stellan-Arc 2.0\r\n"
            "Slice thickness = 50\r\n"
            "number of slices = 5\r\n"
            "illumination time = 8.5\r\n"
            "number of override slices = 1\r\n"
            "override illumination time = 60\r\n"
            "0.0500, S000001_P1, 60.0, 4.0, 0\r\n"
            "0.1000, S000002_P1, 8.5, 0.0, 2\r\n"
            "0.1000, S000003_P1, 2.2, 4.0, 3\r\n"
            "0.1500, S000004_P1, 8.5, 4.0, 0\r\n"
            "0.2000, S000005_P1, 8.5, 4.0, 1\r\n";
        QCOMPARE(buildscriptText(knownRun()), expected);
    }

    void parametersAreByteExact()
    {
        PackageDescription r = knownRun();
        r.material = QString::fromUtf8("Harz Grün");
        const QByteArray expected =
            "[SELECTED PROFILES]\r\n"
            "Materials = Harz Gr\xc3\xbcn\r\n"
            "Build Stategy = 50 microns\r\n"
            "[MACHINE SETTINGS]\r\n"
            "Platform size X = 64.32\r\n"
            "Platform size Y = 35.64\r\n"
            "Platform size Z = 130\r\n"
            "Image Format = 8 bit PNG\r\n"
            "Image size in X = 1920\r\n"
            "Image size in Y = 1080\r\n"
            "Mirror X = true\r\n"
            "Mirror Y = false\r\n"
            "Export Mode = Encrypted ZIP\r\n"
            "[SLICING]\r\n"
            "Layer Thickness = 0.05\r\n"
            "[CURING]\r\n"
            "Normal curing time = 8.5\r\n"
            "Number of first layers = 1\r\n"
            "First layers curing time = 60\r\n"
            "[IMAGE POST PROCESSING]\r\n"
            "Method = 1\r\n"
            "[SCALING]\r\n"
            "Scale in X = 1.005\r\n"
            "Scale in Y = 0.9875\r\n"
            "Scale in Z = 1\r\n"
            "[BASE PLATE]\r\n"
            "Type = None\r\n"
            "Height = 0.1\r\n"
            "[NON SOLID SUPPORT]\r\n"
            "Line Thickness = 1\r\n"
            "[SCAFFOLDING SUPPORT]\r\n"
            "Enable support generation = false\r\n";
        QCOMPARE(parametersText(r), expected);
        r.antiAliasing = 0;
        QVERIFY(parametersText(r).contains("\r\nImage Format = 1 bit PNG\r\n"));
    }

    void scheduleHonoursFirstLayersFlexRangesAndSupportImages()
    {
        PackageDescription r;
        r.normalExposureS = 10;
        r.firstLayerExposureS = 50;
        r.firstLayerCount = 5;
        r.supportExposureS = 3;
        r.flexEnabled = true;
        r.flexRanges = {{0.0, 1.0, 25, 0.5}, {0.5, 2.0, 100, 2.0}};
        for (int i = 0; i < 7; ++i)
            r.images.push_back({0.1 * (i + 1), 0});
        r.images.push_back({1.0, 0});     // on the first range's bound: the second range matches
        r.images.push_back({2.0, 0});     // on the second range's upper bound: none matches
        r.images.push_back({1.5, 2});
        r.images.push_back({1.5, 3});
        const auto s = exposureSchedule(r);
        QCOMPARE(s.size(), r.images.size());
        for (int i = 0; i < 5; ++i) {     // first layers keep their exposure inside a flex range
            QCOMPARE(s[i].exposureS, 50.0);
            QCOMPARE(s[i].kindCode, 0);
            QCOMPARE(s[i].lift, 4.0);
        }
        QCOMPARE(s[5].exposureS, 5.0);    // first matching range wins
        QCOMPARE(s[5].kindCode, 3);
        QCOMPARE(s[7].exposureS, 20.0);
        QCOMPARE(s[8].exposureS, 10.0);
        QCOMPARE(s[8].kindCode, 0);
        QCOMPARE(s[9].lift, 0.0);         // union image: the support image follows
        QCOMPARE(s[9].exposureS, 20.0);
        QCOMPARE(s[10].exposureS, 3.0);   // support image: support exposure, layer finished
        QCOMPARE(s[10].lift, 4.0);
        QCOMPARE(s[10].kindCode, 3);

        r.flexEnabled = false;            // ranges are ignored when flex slices are off
        QCOMPARE(exposureSchedule(r)[7].exposureS, 10.0);
        QCOMPARE(exposureSchedule(r)[9].kindCode, 2);
    }

    void packageNamesFollowTheThicknessRule()
    {
        QCOMPARE(packagePathFor("/data/My Part.lpk", 50), QString("/data/My_Part_z50.lpk"));
        QCOMPARE(packagePathFor("/data/a.b.lpk", 50), QString("/data/a.b_z50.lpk"));
        QCOMPARE(packagePathFor("/data/ring.LPK", 25), QString("/data/ring_z25.lpk"));
        // A name typed without the extension keeps every character.
        QCOMPARE(packagePathFor("/data/part", 50), QString("/data/part_z50.lpk"));
    }

    void exportSettingsSwitchTheChain()
    {
        LpkExportSettings s;
        s.profile.intAA = 1;
        s.profile.DilationLevel = -1;
        s.profile.SmoothingLevel = 2;
        s.profile.X_Compensation = 1.5;
        s.profile.BurnInExp = 2;
        s.machineIndex = 1;
        s.horizontalMirror = true;
        s.contourPenGray = 90;
        PostProcessSettings current;
        current.contourPenWidth = 4;
        PostProcessSettings p = packagePostProcess(s, current);
        QVERIFY(p.contourAntialiasing);
        QCOMPARE(p.contourPenWidth, 1);
        QVERIFY(p.subpixelPacking && p.horizontalMirror && !p.verticalMirror);
        s.profile.intAA = 0;
        QVERIFY(!packagePostProcess(s, p).contourAntialiasing);
        s.profile.intAA = 7;                                   // unknown: left as it was
        current.contourAntialiasing = true;
        QVERIFY(packagePostProcess(s, current).contourAntialiasing);
        QCOMPARE(packagePostProcess(s, current).contourPenWidth, 4);
        s.machineIndex = 0;
        QVERIFY(!packagePostProcess(s).subpixelPacking);
        QCOMPARE(packageGeometry(s).sliceScaleXPct, 1.5);
    }

    // The working folder is private: nothing of an export appears beside the package until
    // the package itself, and what ended processes left is cleared at the next start.
    void workingFolderIsPrivateAndStaleOnesAreCleared()
    {
        QTemporaryDir data;
        qputenv("ORVELL3D_DATA_DIR", QFile::encodeName(data.path()));
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("a"));

        // Left by a process that no longer runs (pid 2^22 + 1 is above Linux's maximum) and
        // by one that does (this one).
        const QString temp = data.path() + "/temp";
        QVERIFY(QDir().mkpath(temp + "/export-4194305-abcdef/sub"));
        const QString live = QString("%1/export-%2-ghijkl").arg(temp).arg(QCoreApplication::applicationPid());
        QVERIFY(QDir().mkpath(live));
        QFile stalePart(dir.path() + "/.a.b_z50.lpk.4194305.part");
        QVERIFY(stalePart.open(QIODevice::WriteOnly));
        stalePart.close();

        PackageJob job;
        QString error;
        QVERIFY2(beginPackage(dir.path() + "/a.b_z50.lpk", &job, &error), qPrintable(error));
        QCOMPARE(job.packagePath, dir.path() + "/a.b_z50.lpk");
        QVERIFY(job.workFolder.startsWith(temp + "/export-"));
        QVERIFY(QFileInfo(job.workFolder).isDir());
        QVERIFY(!QFileInfo::exists(temp + "/export-4194305-abcdef"));
        QVERIFY(QFileInfo::exists(live));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"a"});   // the user's folder is untouched, the stale part gone
        abandonPackage(job);
        QVERIFY(!QFileInfo::exists(job.workFolder));

        QVERIFY(!beginPackage(dir.path() + "/missing/x_z50.lpk", &job, &error));
        QVERIFY(error.contains("missing"));
        QVERIFY(error.contains("does not exist"));
        // A file where the folder should be is called what it is.
        QFile file(dir.path() + "/plain");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(!beginPackage(dir.path() + "/plain/x_z50.lpk", &job, &error));
        QVERIFY2(error.contains("is a file, not a folder"), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(PackageFilesTest)
#include "tst_packagefiles.moc"
