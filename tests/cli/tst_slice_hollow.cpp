#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "support_cli.h"

// `orvell3d-cli slice --hollow`: a 10 mm cube at 100 µm pixels and 100 µm layers is a
// 100 × 100 pixel square in each of its 100 layers; a 1 mm wall is 10 pixels and 10 layers,
// so the hollowed layers are rings of 100² − 80² = 3600 pixels.
class SliceHollowTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_cube;

    CliRun cli(const QStringList &args)
    {
        return runCli(QStringList{"slice", "--projector", "300x200", "--pixel-size", "100", "--thickness", "100"} + args,
                      m_dir.filePath("data"));
    }

    // A layer read from the package with Python's zipfile.
    static QImage layerOf(const QString &package, int number)
    {
        QProcess p;
        p.start("python3", {"-c",
                            "import sys, zipfile\n"
                            "z = zipfile.ZipFile(sys.argv[1])\n"
                            "sys.stdout.buffer.write(z.read(sys.argv[2], pwd=b'KVTR570213'))\n",
                            package, QString("S%1_P1.png").arg(number, 6, 10, QChar('0'))});
        p.waitForFinished(60000);
        return QImage::fromData(p.readAllStandardOutput(), "PNG").convertToFormat(QImage::Format_Grayscale8);
    }

    static int whitePixels(const QImage &image)
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += qGray(image.pixel(x, y)) == 255;
        return n;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QByteArray obj;
        for (int k = 0; k < 8; ++k)
            obj += QString::asprintf("v %d %d %d\n", (k & 1) * 10, ((k >> 1) & 1) * 10, ((k >> 2) & 1) * 10).toLatin1();
        obj += "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
        m_cube = writeFixture(m_dir.filePath("cube.obj"), obj);
    }

    void packageLayersAreRingsBetweenFloorAndCeiling()
    {
        const CliRun r = cli({"-o", m_dir.filePath("cube.lpk"), "--hollow", "1", m_cube});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QString package = m_dir.filePath("cube_z100.lpk");
        // Floor: layers 1 … 11 (the first 11 images); ceiling: the top 10 layers.
        for (int number : {1, 11, 91, 100})
            QCOMPARE(whitePixels(layerOf(package, number)), 100 * 100);
        for (int number : {12, 50, 90}) {
            const QImage ring = layerOf(package, number);
            QCOMPARE(whitePixels(ring), 3600);
            QCOMPARE(qGray(ring.pixel(150, 100)), 0);   // the centre is the cavity
        }
    }

    void pillarsStandInTheCavity()
    {
        const CliRun r = cli({"-o", m_dir.filePath("posts"), "--hollow", "1", "--pillars", "1,3", m_cube});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QImage layer(m_dir.filePath("posts/S000050_P1.png"));
        layer = layer.convertToFormat(QImage::Format_Grayscale8);
        // Pillars of 1 mm radius every 3 mm: 10 pixels around centres at multiples of 30. The
        // cube spans columns 100 … 199 and rows 50 … 149, its cavity columns 110 … 189 and rows
        // 60 … 139: the centres inside are x = 120, 150, 180 and y = 90, 120.
        for (int x : {120, 150, 180})
            for (int y : {90, 120}) {
                QCOMPARE(qGray(layer.pixel(x, y)), 255);
                QCOMPARE(qGray(layer.pixel(x + 9, y)), 255);
                QCOMPARE(qGray(layer.pixel(x, y + 15)), 0);   // between the pillars
            }
    }

    void wrongWallsAreRefused()
    {
        QCOMPARE(cli({"-o", m_dir.filePath("x"), "--pillars", "1,3", m_cube}).code, 2);
        QCOMPARE(cli({"-o", m_dir.filePath("x"), "--hollow", "thick", m_cube}).code, 2);
        QCOMPARE(cli({"-o", m_dir.filePath("x"), "--hollow", "1", "--pillars", "2,3", m_cube}).code, 2);
        // A wall that rounds to no pixel would cut the whole cube away.
        const CliRun thin = cli({"-o", m_dir.filePath("x"), "--hollow", "0.01", m_cube});
        QCOMPARE(thin.code, 1);
        QVERIFY2(thin.err.contains("thinner than one pixel"), qPrintable(thin.err));
        QVERIFY(!QFileInfo::exists(m_dir.filePath("x")));
    }
};

QTEST_MAIN(SliceHollowTest)
#include "tst_slice_hollow.moc"
