#include <QtTest>

#include <QRandomGenerator>

#include "printer/PrinterAddress.h"
#include "printer/PrinterProtocol.h"
#include "printer/PrinterState.h"

// The printer's report lines: every row of the protocol, the time and pixel-size texts, the
// framing of lines that arrive in pieces, and whatever garbage a peer may send instead.

class PrinterProtocolTest : public QObject
{
    Q_OBJECT

    static PrinterState stateAfter(const QList<QByteArray> &lines)
    {
        PrinterState s;
        for (const QByteArray &l : lines)
            applyPrinterMessage(s, parsePrinterLine(l));
        return s;
    }

private slots:
    void everyRowSetsThePanelState()
    {
        PrinterState s = stateAfter({"pixel 50"});
        QVERIFY(s.ready);
        QCOMPARE(s.statusText(), QStringLiteral("Connected"));
        QCOMPARE(s.pixelSizeText(), QStringLiteral("50 um"));

        s = stateAfter({"pixel 50", "print started 120"});
        QCOMPARE(s.statusText(), QStringLiteral("Printing in Progress"));
        QCOMPARE(s.totalLayers, qint64(120));
        QCOMPARE(s.currentLayer, qint64(0));

        // Tokens separated by several spaces or tabs.
        s = stateAfter({"print started 120", "print   prog\t7  120 "});
        QCOMPARE(s.currentLayer, qint64(7));
        QCOMPARE(s.totalLayers, qint64(120));

        s = stateAfter({"print prog 7 120", "print paused"});
        QCOMPARE(s.statusText(), QStringLiteral("Printing paused"));
        QCOMPARE(s.currentLayer, qint64(7));   // a pause keeps the layer shown

        s = stateAfter({"print paused", "print resumed 8 120"});
        QCOMPARE(s.statusText(), QStringLiteral("Printing in Progress"));
        QCOMPARE(s.currentLayer, qint64(8));

        s = stateAfter({"print prog 9 120", "print aborted"});
        QCOMPARE(s.statusText(), QStringLiteral("Printing aborted"));

        s = stateAfter({"print finished 120 120"});
        QCOMPARE(s.statusText(), QStringLiteral("Printing Completed"));
        QCOMPARE(s.currentLayer, qint64(120));

        QCOMPARE(parsePrinterLine("fileReceived").kind, PrinterMessage::FileReceived);
        QCOMPARE(parsePrinterLine("fileReceived job.lpk 1234").kind, PrinterMessage::FileReceived);
        QCOMPARE(parsePrinterLine("hello printer").kind, PrinterMessage::Ignored);
        QCOMPARE(PrinterState().statusText(), QStringLiteral("Not connected"));
    }

    void remainingTimeAndPixelSizeTexts()
    {
        QCOMPARE(formatRemainingTime(0), QStringLiteral("00:00:00"));
        QCOMPARE(formatRemainingTime(3725), QStringLiteral("01:02:05"));
        QCOMPARE(formatRemainingTime(360000), QStringLiteral("100:00:00"));
        QCOMPARE(formatRemainingTime(-5), QStringLiteral("00:00:00"));

        // Remaining = a − b; a printer past its estimate shows zero, not a negative time.
        QCOMPARE(parsePrinterLine("time 3725 0").remainingSeconds, qint64(3725));
        QCOMPARE(parsePrinterLine("time 4000 275").remainingSeconds, qint64(3725));
        QCOMPARE(parsePrinterLine("time 100 250").remainingSeconds, qint64(0));
        QCOMPARE(stateAfter({"time 3725 0"}).remainingTimeText(), QStringLiteral("01:02:05"));

        QCOMPARE(formatPixelSize(50.0f), QStringLiteral("50 um"));
        QCOMPARE(formatPixelSize(33.5f), QStringLiteral("33.5 um"));
        QCOMPARE(formatPixelSize(0.1f), QStringLiteral("0.1 um"));
        QCOMPARE(stateAfter({"pixel 47.25"}).pixelSizeText(), QStringLiteral("47.25 um"));
    }

    void unusableLinesChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("print alone") << QByteArray("print");
        QTest::newRow("prog without counts") << QByteArray("print prog");
        QTest::newRow("prog with one count") << QByteArray("print prog 3");
        QTest::newRow("started without count") << QByteArray("print started");
        QTest::newRow("non-numeric") << QByteArray("print prog x 10");
        QTest::newRow("negative") << QByteArray("print prog -1 10");
        QTest::newRow("fraction") << QByteArray("print started 2.5");
        QTest::newRow("layer past the end") << QByteArray("print prog 11 10");
        QTest::newRow("absurd count") << QByteArray("print started 99999999999999999999");
        QTest::newRow("unknown state") << QByteArray("print exploded 1 2");
        QTest::newRow("time alone") << QByteArray("time");
        QTest::newRow("time one value") << QByteArray("time 5");
        QTest::newRow("time negative") << QByteArray("time -5 0");
        QTest::newRow("time nan") << QByteArray("time nan 0");
        QTest::newRow("time huge") << QByteArray("time 1e300 0");
        QTest::newRow("pixel alone") << QByteArray("pixel");
        QTest::newRow("pixel zero") << QByteArray("pixel 0");
        QTest::newRow("pixel inf") << QByteArray("pixel inf");
        // Positive as a double, but 0 once stored as a float.
        QTest::newRow("pixel below float") << QByteArray("pixel 1e-50");
        QTest::newRow("pixel text") << QByteArray("pixel fifty");
        QTest::newRow("binary") << QByteArray("print \x01\xff\x00 7", 11);
    }

    void unusableLinesChangeNothing()
    {
        QFETCH(QByteArray, line);
        const PrinterMessage m = parsePrinterLine(line);
        QCOMPARE(m.kind, PrinterMessage::Malformed);
        QVERIFY(!m.error.isEmpty());
        // The reason is shown in the log: printable, short.
        QVERIFY(m.error.size() < 200);
        for (QChar c : m.error)
            QVERIFY(c.isPrint() || c == QChar(0x2026));

        PrinterState s = stateAfter({"pixel 50", "print prog 4 10", "time 100 20"});
        const PrinterState before = s;
        QVERIFY(!applyPrinterMessage(s, m));
        QCOMPARE(s.currentLayer, before.currentLayer);
        QCOMPARE(s.totalLayers, before.totalLayers);
        QCOMPARE(s.remainingSeconds, before.remainingSeconds);
        QCOMPARE(s.status, before.status);
    }

    void printerAddresses()
    {
        PrinterAddress a = parsePrinterAddress(" 192.168.0.11 ", kPrinterPort);
        QVERIFY(a.valid);
        QCOMPARE(a.host, QStringLiteral("192.168.0.11"));
        QCOMPARE(a.port, quint16(9876));
        a = parsePrinterAddress("printer.local:9000", kPrinterPort);
        QCOMPARE(a.text(), QStringLiteral("printer.local:9000"));
        a = parsePrinterAddress("[::1]:9001", kPrinterPort);
        QVERIFY(a.valid);
        QCOMPARE(a.host, QStringLiteral("::1"));
        QCOMPARE(a.text(), QStringLiteral("[::1]:9001"));
        QCOMPARE(parsePrinterAddress("::1", kPrinterPort).host, QStringLiteral("::1"));
        // The placeholder of a new entry, empty fields, ports out of range, stray text.
        for (const char *bad : {"000.000.000.000", "0.0.0.0", "", "  ", "host:0", "host:70000", "host:x",
                                "a b", "[::1", "[::1]x"})
            QVERIFY2(!parsePrinterAddress(bad, kPrinterPort).valid, bad);
        QCOMPARE(parsePrinterAddress("000.000.000.000", kPrinterPort).error,
                 QStringLiteral("Enter the printer's address first"));
    }

    void linesArriveInPieces()
    {
        // One complete "prog" line and the start of a second; the next chunk completes it.
        PrinterLineBuffer b;
        QCOMPARE(b.append("print prog 1 10\nprint pr"), QList<QByteArray>{"print prog 1 10"});
        QCOMPARE(b.pendingBytes(), 8);
        // A notification with no line end keeps what came so far.
        QCOMPARE(b.append("og 2"), QList<QByteArray>{});
        QCOMPARE(b.append(" 10\n"), QList<QByteArray>{"print prog 2 10"});
        QCOMPARE(b.pendingBytes(), 0);

        // "\r\n", lone "\r" and blank lines.
        QCOMPARE(b.append("pixel 50\r\n\r\ntime 5 1\rprint paused\n\n"),
                 (QList<QByteArray>{"pixel 50", "time 5 1", "print paused"}));
        // "\r" and "\n" of one line end in separate chunks.
        QCOMPARE(b.append("print aborted\r"), QList<QByteArray>{"print aborted"});
        QCOMPARE(b.append("\nfileReceived\n"), QList<QByteArray>{"fileReceived"});
    }

    void overlongLinesAreDroppedWithABoundedBuffer()
    {
        PrinterLineBuffer b(100);
        const QByteArray big(1000, 'A');
        // Megabytes without a line end: nothing grows past the limit.
        for (int i = 0; i < 2000; ++i) {
            QVERIFY(b.append(big).isEmpty());
            QVERIFY(b.pendingBytes() <= 100);
        }
        QCOMPARE(b.overlongLines(), 1);
        // The tail of the long line is dropped with it; the next line is read normally.
        QCOMPARE(b.append("tail of it\nprint paused\n"), QList<QByteArray>{"print paused"});
        // A line of exactly the limit still passes.
        QCOMPARE(b.append(QByteArray(100, 'x') + '\n'), QList<QByteArray>{QByteArray(100, 'x')});
    }

    void randomBytesAndRandomSplits()
    {
        // Valid report lines mixed with random garbage lines are sent as one stream cut at
        // random places: every valid line comes out in order and parses to what was sent,
        // whatever the cuts; garbage never yields a status change it did not spell.
        QRandomGenerator rng(20261206);
        for (int round = 0; round < 300; ++round) {
            QByteArray stream;
            QList<QByteArray> valid;
            QList<qint64> layers;
            const int lineCount = 1 + int(rng.bounded(30));
            for (int i = 0; i < lineCount; ++i) {
                if (rng.bounded(2)) {
                    const qint64 n = 1 + rng.bounded(5000);
                    const qint64 c = rng.bounded(int(n) + 1);
                    const QByteArray l = "print prog " + QByteArray::number(c) + ' ' + QByteArray::number(n);
                    valid << l;
                    layers << c;
                    stream += l + (rng.bounded(2) ? "\n" : "\r\n");
                } else {
                    QByteArray junk(int(rng.bounded(200)), '\0');
                    for (char &ch : junk) {
                        ch = char(rng.bounded(256));
                        if (ch == '\n' || ch == '\r')
                            ch = ' ';
                    }
                    // Random bytes, but never by chance a "print prog" line of their own.
                    junk.prepend('#');
                    stream += junk + '\n';
                }
            }
            PrinterLineBuffer b;
            QList<QByteArray> out;
            int at = 0;
            while (at < stream.size()) {
                const int len = std::min(stream.size() - at, 1 + int(rng.bounded(40)));
                out += b.append(stream.mid(at, len));
                at += len;
            }
            QList<qint64> seen;
            for (const QByteArray &l : out) {
                const PrinterMessage m = parsePrinterLine(l);
                if (m.kind == PrinterMessage::PrintProgress)
                    seen << m.currentLayer;
                else
                    QCOMPARE(m.kind, PrinterMessage::Ignored);
            }
            QCOMPARE(seen, layers);
        }

        // Pure noise, cut anywhere: no crash, the buffer stays bounded, every line classifies.
        for (int round = 0; round < 200; ++round) {
            PrinterLineBuffer b(256);
            PrinterState s;
            for (int chunk = 0; chunk < 50; ++chunk) {
                QByteArray bytes(int(rng.bounded(600)), '\0');
                for (char &ch : bytes)
                    ch = char(rng.bounded(256));
                // Some noise that looks like the protocol, to reach the value checks.
                if (rng.bounded(3) == 0)
                    bytes.prepend(QList<QByteArray>{"print prog ", "time ", "pixel ", "print started "}.at(
                        int(rng.bounded(4))));
                for (const QByteArray &l : b.append(bytes))
                    applyPrinterMessage(s, parsePrinterLine(l));
                QVERIFY(b.pendingBytes() <= 256);
            }
            QVERIFY(s.currentLayer <= s.totalLayers);
            QVERIFY(s.remainingSeconds >= 0);
        }
    }
};

QTEST_GUILESS_MAIN(PrinterProtocolTest)
#include "tst_protocol.moc"
