#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "support_cli.h"

// What `orvell3d-cli slice` says about the layers beyond writing them: the resin they take,
// the print time of a package, and the islands, with --fail-on-islands for scripts.
class SliceAnalysisTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_floating;
    QString m_mushroom;

    CliRun cli(const QStringList &args) { return runCli(QStringList{"slice"} + args, m_dir.filePath("data")); }

    // A 30 × 24 × 2 mm plate and, in the same model, a 6 × 4 × 3 mm block floating over it at
    // (7, −5) mm from 5.07 mm up: 1440 + 72 mm³.
    static QByteArray floatingBlockObj()
    {
        QByteArray obj;
        int n = 0;
        auto box = [&](double cx, double cy, double z0, double sx, double sy, double sz) {
            for (int k = 0; k < 8; ++k)
                obj += QByteArray("v ") + QByteArray::number(cx + ((k & 1) ? sx : -sx) / 2) + " "
                       + QByteArray::number(cy + ((k >> 1 & 1) ? sy : -sy) / 2) + " "
                       + QByteArray::number(z0 + ((k >> 2 & 1) ? sz : 0)) + "\n";
            for (const char *f : {"1 3 4 2", "5 6 8 7", "1 2 6 5", "3 7 8 4", "1 5 7 3", "2 4 8 6"}) {
                QByteArray line = "f";
                for (const QByteArray &i : QByteArray(f).split(' '))
                    line += " " + QByteArray::number(i.toInt() + n);
                obj += line + "\n";
            }
            n += 8;
        };
        box(0, 0, 0, 30, 24, 2);
        box(7, -5, 5.07, 6, 4, 3);
        return obj;
    }

    const QStringList common = {"--thickness", "50", "--pixel-size", "50", "--renderer", "cpu"};

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_floating = writeFixture(m_dir.filePath("floating.obj"), floatingBlockObj());
        m_mushroom = writeFixture(m_dir.filePath("mushroom.obj"), mushroomObj());
    }

    void floatingBlock()
    {
        // Layers every 50 µm, 162 of them up to 8.05 mm, each cut through its middle: layer 101
        // (5.05 to 5.1 mm, cut at 5.075 mm) is the first to hold the block.
        const CliRun r = cli(common + QStringList{"-o", m_dir.filePath("layers"), m_floating});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith("162 layers (162 images, 1920 x 1080 px) written to"), qPrintable(lines[0]));
        QCOMPARE(lines[1], QString("resin 1.51 ml"));
        QCOMPARE(lines[2], QString("1 island: layer 101 at (7.0, \u22125.0) mm"));

        // Scripts: exit status 1, one line on standard error, and the package is still there to
        // be looked at; the JSON report lists the island.
        const CliRun strict = cli(common + QStringList{"--fail-on-islands", "--json", "-o",
                                                       m_dir.filePath("floating.lpk"), m_floating});
        QCOMPARE(strict.code, 1);
        QVERIFY2(strict.err.contains("orvell3d-cli slice: 1 island found (--fail-on-islands)"), qPrintable(strict.err));
        QVERIFY(QFile::exists(m_dir.filePath("floating_z50.lpk")));
        const QJsonObject report = QJsonDocument::fromJson(strict.out.toUtf8()).object();
        QCOMPARE(report["islands"].toArray().size(), 1);
        const QJsonObject island = report["islands"].toArray().at(0).toObject();
        QCOMPARE(island["xMm"].toDouble(), 7.0);
        QCOMPARE(island["yMm"].toDouble(), -5.0);
        QCOMPARE(island["areaMm2"].toDouble(), 24.0);
        QCOMPARE(report["resinMl"].toDouble(), 1.512);
        // 162 images: 5 first layers of 60 s and 157 of 8 s, each followed by a 4 mm lift at
        // 60 mm/min and the way back at 180 mm/min: 300 + 1256 + 162 × (4 + 4/3) s.
        QCOMPARE(report["printTimeS"].toDouble(), 2420.0);

        // Without the analysis: no estimate, no islands, and nothing to fail on.
        const CliRun quiet = cli(common + QStringList{"--no-analysis", "--fail-on-islands", "-o",
                                                      m_dir.filePath("quiet"), m_floating});
        QCOMPARE(quiet.code, 0);
        QCOMPARE(quiet.out.split('\n', Qt::SkipEmptyParts).size(), 1);
    }

    // A model held up by supports has no islands; the package line gains the print time.
    void supportedModelHasNone()
    {
        const CliRun r = cli(common + QStringList{"--supports", "--support-pitch", "3", "--fail-on-islands", "-o",
                                                  m_dir.filePath("mushroom.lpk"), m_mushroom});
        QVERIFY2(r.code == 0, qPrintable(r.err + r.out));
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].contains(" packed into "));
        QVERIFY2(lines[1].contains(QRegularExpression("^resin \\d+\\.\\d+ ml, print time \\d+ h \\d\\d min$")),
                 qPrintable(lines[1]));
        QCOMPARE(lines[2], QString("no islands"));
    }
};

QTEST_GUILESS_MAIN(SliceAnalysisTest)
#include "tst_slice_analysis.moc"
