#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "support_cli.h"

// `orvell3d-cli slice --supports`: an overhanging model gets feet on the plate.
class SliceSupportsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_mushroom;

    CliRun cli(const QStringList &args) { return runCli(QStringList{"slice"} + args, m_dir.filePath("data")); }

    static int litPixels(const QString &png)
    {
        QImage img(png);
        if (img.isNull())
            return -1;
        img = img.convertToFormat(QImage::Format_Grayscale8);
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += img.constScanLine(y)[x] > 127;
        return n;
    }


private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_mushroom = writeFixture(m_dir.filePath("mushroom.obj"), mushroomObj());
    }

    void feetStandOnThePlate()
    {
        const QStringList common = {"--thickness", "100", "--pixel-size", "50", "--projector", "1000x1000",
                                    "--renderer", "cpu"};
        const CliRun plain = cli(common + QStringList{"-o", m_dir.filePath("plain"), m_mushroom});
        QVERIFY2(plain.code == 0, qPrintable(plain.err));
        // The stem alone: 4 × 4 mm at 50 µm is 80 × 80 pixels.
        QVERIFY(std::abs(litPixels(m_dir.filePath("plain/S000001_P1.png")) - 6400) < 200);

        const CliRun r = cli(common + QStringList{"--supports", "--support-pitch", "3", "--support-size", "medium",
                                                  "-o", m_dir.filePath("supported"), m_mushroom});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        // 7 × 7 probes at −9 … 9 mm; the one under the stem meets the stem's foot and is skipped.
        QVERIFY2(r.err.contains("48 automatic supports added"), qPrintable(r.err));
        // Each foot is a 12-sided disc widening from radius 0.6 mm on the plate to 1.0 mm at
        // 0.5 mm: within the first 0.2 mm its area is 3·r² with r from 0.6 to 0.68 mm.
        const int lit = litPixels(m_dir.filePath("supported/S000001_P1.png"));
        const double perFoot = (lit - 6400) / 48.0, px = 0.05 * 0.05;
        QVERIFY2(perFoot > 0.95 * 3 * 0.36 / px && perFoot < 1.05 * 3 * 0.68 * 0.68 / px,
                 qPrintable(QString::number(perFoot)));
        // The supports reach the cap: more layers are not needed, but a layer just under the
        // cap (9.95 mm) shows the stem plus 48 tips.
        QCOMPARE(QDir(m_dir.filePath("supported")).entryList({"S*_P1.png"}).size(),
                 QDir(m_dir.filePath("plain")).entryList({"S*_P1.png"}).size());
        QVERIFY(litPixels(m_dir.filePath("supported/S000099_P1.png")) > 6400 + 48 * 50);
    }

    void badPitchesAreRefused()
    {
        const CliRun zero = cli({"--supports", "--support-pitch", "0", "-o", m_dir.filePath("x"), m_mushroom});
        QCOMPARE(zero.code, 2);
        QVERIFY(zero.err.contains("--support-pitch wants millimetres above 0, not '0'"));
        const CliRun size = cli({"--supports", "--support-size", "huge", "-o", m_dir.filePath("x"), m_mushroom});
        QCOMPARE(size.code, 2);
        const CliRun many = cli({"--supports", "--support-pitch", "0.01", "-o", m_dir.filePath("x"), m_mushroom});
        QCOMPARE(many.code, 1);
        QVERIFY2(many.err.contains("mushroom.obj: A pitch of 0.01 mm needs 4004001 probes under this model; at most "
                                   "1000000 are allowed."),
                 qPrintable(many.err));
    }
};

QTEST_GUILESS_MAIN(SliceSupportsTest)
#include "tst_slice_supports.moc"
