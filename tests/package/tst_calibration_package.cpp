#include <QtTest>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "config/CalibrationImages.h"
#include "package/Archiver.h"
#include "package/CalibrationPackage.h"

namespace {

QByteArray runTool(const QString &program, const QStringList &args, int *exitCode)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    *exitCode = -1;
    if (!p.waitForStarted() || !p.waitForFinished(60000))
        return QByteArray();
    *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAll();
}

CalibrationSettings smallGrid()
{
    CalibrationSettings s;
    s.rows = 2;
    s.columns = 3;
    s.initialExposureS = 4;
    s.incrementS = 1.5;
    s.widthPx = 900;
    s.heightPx = 560;
    s.pixelSizeUm = 50;
    s.thicknessUm = 25;
    s.baseLayers = 1;
    s.normalLayers = 2;
    s.baseExposureS = 20;
    return s;
}

struct ScriptLine
{
    double z;
    QString name;
    double exposure;
    double lift;
};

QList<ScriptLine> scriptLines(const QByteArray &text, QStringList *header)
{
    QList<ScriptLine> out;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (line.isEmpty())
            continue;
        if (i < 6) {
            *header << line;
            continue;
        }
        const QStringList c = line.split(", ");
        if (c.size() != 4)
            qFatal("bad layer line %s", qPrintable(line));
        out << ScriptLine{c[0].toDouble(), c[1], c[2].toDouble(), c[3].toDouble()};
    }
    return out;
}

const QString password = "KVTR570213";

} // namespace

// The calibration package written through the archive tool and opened by other readers; the
// written images summed per patch give each patch exactly its table time.
class CalibrationPackageTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;

private slots:
    // Working folders go to the data folder's "temp": a test folder, never the user's.
    void initTestCase() { qputenv("ORVELL3D_DATA_DIR", QFile::encodeName(m_data.path())); }

    void packageGivesEachPatchItsTime_data()
    {
        QTest::addColumn<bool>("grayscale");
        QTest::newRow("patches") << false;
        QTest::newRow("grey rows") << true;
    }

    void packageGivesEachPatchItsTime()
    {
        QFETCH(bool, grayscale);
        QTemporaryDir dir;
        CalibrationSettings s = smallGrid();
        s.grayscale = grayscale;
        s.grayPercent = {100, 40};
        PackageDescription machine;
        machine.material = "Standard Grey";
        const QString path = dir.path() + "/calib.lpk";
        QList<int> progress;
        QString error;
        QVERIFY2(writeCalibrationPackage(s, machine, 2, path, Archiver(),
                                         [&](int done, int) { progress << done; }, &error),
                 qPrintable(error));
        const int k = grayscale ? 3 : 6;
        const int n = k * 2 + 1;
        QCOMPARE(progress.first(), 0);
        QCOMPARE(progress.last(), n);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"calib.lpk"});

        int code = 0;
        QByteArray out = runTool("unzip", {"-t", "-P", password, path}, &code);
        QVERIFY2(code == 0, out.constData());
        const QString x = dir.path() + "/x";
        out = runTool("7za", {"x", "-p" + password, "-o" + x, path}, &code);
        QVERIFY2(code == 0, out.constData());
        out = runTool("python3", {"-c",
                                  "import sys, zipfile\n"
                                  "z = zipfile.ZipFile(sys.argv[1])\n"
                                  "z.setpassword(sys.argv[2].encode())\n"
                                  "assert all(i.flag_bits & 1 for i in z.infolist())\n"
                                  "assert all('/' not in n for n in z.namelist())\n"
                                  "print(len(z.namelist()), len(z.read('S000002_P1.png')))\n",
                                  path, password},
                      &code);
        QVERIFY2(code == 0, out.constData());
        QCOMPARE(out.trimmed().split(' ').first(), QByteArray::number(n + 5 + 2));

        QFile scriptFile(x + "/buildscript.ini");
        QVERIFY(scriptFile.open(QIODevice::ReadOnly));
        QStringList header;
        const QList<ScriptLine> script = scriptLines(scriptFile.readAll(), &header);
        QCOMPARE(header, (QStringList{"Machine = 2", "Slice thickness = 25", "number of slices = " + QString::number(n),
                                      "illumination time = 7", "number of override slices = -1",
                                      "override illumination time = 20"}));
        QCOMPARE(script.size(), n);
        QFile params(x + "/parameters.ini");
        QVERIFY(params.open(QIODevice::ReadOnly));
        const QByteArray p = params.readAll();
        QVERIFY(p.contains("\r\nMaterials = Standard Grey\r\n"));
        QVERIFY(p.contains("\r\nPlatform size X = 45\r\nPlatform size Y = 28\r\n"));
        QVERIFY(p.contains("\r\nImage size in X = 900\r\nImage size in Y = 560\r\n"));
        QVERIFY(p.contains("\r\nLayer Thickness = 0.025\r\n"));

        // Base layer: the white rectangle, stored flipped top-bottom.
        const QImage base(x + "/" + script[0].name + ".png");
        QCOMPARE(base.size(), QSize(900, 560));
        QCOMPARE(script[0].exposure, 20.0);
        const QRect rect = calibrationBaseRect(s);   // 720 × 480 at (90, 40)
        QCOMPARE(rect, QRect(90, 40, 720, 480));
        QCOMPARE(qGray(base.pixel(90, 559 - 40)), 255);
        QCOMPARE(qGray(base.pixel(89, 559 - 40)), 0);
        QCOMPARE(qGray(base.pixel(809, 559 - 519)), 255);
        QCOMPARE(qGray(base.pixel(809, 559 - 520)), 0);

        // Each normal layer: sum the exposure of every image over a patch's sample pixels.
        const QList<double> table = {4, 5.5, 7, 4, 5.5, 7};
        for (int layer = 0; layer < 2; ++layer) {
            const int first = 1 + layer * k;
            QVector<double> received(6, 0.0);
            for (int i = first; i < first + k; ++i) {
                QCOMPARE(script[i].z, 0.025 * (layer + 1));
                QCOMPARE(script[i].lift, i == first + k - 1 ? 4.0 : 0.0);
                QVERIFY(script[i].exposure >= 0);
                const QImage image(x + "/" + script[i].name + ".png");
                QCOMPARE(image.format(), QImage::Format_Grayscale8);
                for (int patch = 0; patch < 6; ++patch) {
                    const QRect r = calibrationPatchRect(s, patch / 3, patch % 3);
                    const int gray = qGray(image.pixel(r.left() + 2, 559 - (r.top() + 2)));
                    const int grayLow = qGray(image.pixel(r.right() - 2, 559 - (r.bottom() - 2)));
                    QCOMPARE(gray, grayLow);
                    const int expectedGray = grayscale && patch >= 3 ? 102 : 255;   // trunc(40 · 2.55)
                    QVERIFY2(gray == 0 || gray == expectedGray, qPrintable(QString::number(gray)));
                    if (gray)
                        received[patch] += script[i].exposure;
                }
            }
            for (int patch = 0; patch < 6; ++patch)
                QVERIFY2(qAbs(received[patch] - table[patch]) < 1e-9,
                         qPrintable(QString("patch %1 got %2").arg(patch).arg(received[patch])));
        }

        // Previews: the first pattern in a 512 × 288 band of a black square.
        const QImage preview(x + "/Preview_TFR.png");
        QCOMPARE(preview.size(), QSize(512, 512));
        QCOMPARE(qGray(preview.pixel(256, 50)), 0);
        QCOMPARE(qGray(preview.pixel(256, 470)), 0);
        // The right way up: row 0 (white) above row 1 (40 % grey with the grey switch).
        const int upper = qGray(preview.pixel(74, 147));
        const int lower = qGray(preview.pixel(74, 270));
        QVERIFY2(upper > 225, qPrintable(QString::number(upper)));
        QVERIFY2(grayscale ? qAbs(lower - 102) < 25 : lower > 225, qPrintable(QString::number(lower)));
        for (const char *name : {"Preview_Top.png", "Preview_Front.png", "Preview_Left.png", "Preview_Right.png"})
            QVERIFY(QFileInfo(x + "/" + QString(name)).isFile());
    }

    void failedArchiveKeepsTheOlderPackageAndTheUsersFolder()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/calib.lpk";
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("older package");
        old.close();
        // A folder of the user's with the working folder's name is never used or removed.
        QVERIFY(QDir(dir.path()).mkdir("calib"));
        QFile mine(dir.path() + "/calib/mine.txt");
        QVERIFY(mine.open(QIODevice::WriteOnly));
        mine.close();

        QString error;
        QVERIFY(!writeCalibrationPackage(smallGrid(), PackageDescription(), 0, path,
                                         Archiver(dir.path() + "/no-such-7za"), nullptr, &error));
        QVERIFY(!error.isEmpty());
        QFile again(path);
        QVERIFY(again.open(QIODevice::ReadOnly));
        QCOMPARE(again.readAll(), QByteArray("older package"));
        QVERIFY(QFileInfo(dir.path() + "/calib/mine.txt").isFile());
        // Nothing of the failed export stays beside the package or in the working folder.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{"calib", "calib.lpk"}));
        QCOMPARE(QDir(m_data.path() + "/temp").entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

        // Unusable settings are refused before anything is written.
        CalibrationSettings bad = smallGrid();
        bad.columns = 0;
        QVERIFY(!writeCalibrationPackage(bad, PackageDescription(), 0, dir.path() + "/b.lpk", Archiver(), nullptr,
                                         &error));
        QVERIFY(error.contains("horizontal"));
        QVERIFY(!QFileInfo::exists(dir.path() + "/b"));
    }
};

QTEST_MAIN(CalibrationPackageTest)
#include "tst_calibration_package.moc"
