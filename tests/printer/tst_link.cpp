#include <QtTest>

#include <QTcpSocket>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "printer/PrinterConnection.h"
#include "printer/PrinterUpload.h"
#include "support_sim.h"

// The link against the printer simulator on 127.0.0.1: the greeting, every job report, uploads
// that arrive byte for byte, two printers at once; and against a scripted peer: lines in
// pieces, garbage, a close in the middle of a line or an upload, a peer that stops reading.

namespace {

struct Shown
{
    PrinterState::Status status;
    qint64 current;
    qint64 total;
    qint64 remaining;
    bool operator==(const Shown &o) const
    {
        return status == o.status && current == o.current && total == o.total && remaining == o.remaining;
    }
};

} // namespace

QT_BEGIN_NAMESPACE
namespace QTest {
template <> char *toString(const Shown &s)
{
    return qstrdup(QStringLiteral("(%1, %2/%3, %4 s)").arg(s.status).arg(s.current).arg(s.total).arg(s.remaining)
                       .toLatin1()
                       .constData());
}
} // namespace QTest
QT_END_NAMESPACE

class PrinterLinkTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    static void connectTo(PrinterConnection &c, quint16 port)
    {
        c.connectTo(QStringLiteral("127.0.0.1"), port);
        QTRY_VERIFY_WITH_TIMEOUT(c.state().ready, 5000);
    }

    // Links `c` to the scripted peer, which greets it as a printer and from then on takes at most
    // `bufferBytes` of what is sent, and starts an upload of `megabytes` MB named `name`: the file
    // cannot all leave. The peer's end of the link; null when the upload did not start.
    QTcpSocket *startStalledUpload(ScriptedPeer &peer, PrinterConnection &c, const QString &name, int megabytes,
                                   qint64 bufferBytes)
    {
        c.connectTo(QStringLiteral("127.0.0.1"), peer.port());
        QTcpSocket *p = peer.waitForClient();
        if (!p)
            return nullptr;
        p->write("pixel 50\n");
        if (!QTest::qWaitFor([&c] { return c.state().ready; }, 5000))
            return nullptr;
        p->setReadBufferSize(bufferBytes);
        const QString path = dir.filePath(name);
        writeRandomFile(path, qint64(megabytes) * 1024 * 1024, quint32(megabytes));
        return c.upload(path) ? p : nullptr;
    }

private slots:
    void greetingAndEveryJobReport()
    {
        SimProcess sim(dir.path(), {"--pixel", "47.5", "--layer-ms", "40", "--layer-seconds", "10"});
        PrinterConnection c;
        QList<Shown> shown;
        connect(&c, &PrinterConnection::stateChanged, [&] {
            const PrinterState &s = c.state();
            shown << Shown{s.status, s.currentLayer, s.totalLayers, s.remainingSeconds};
        });
        connectTo(c, sim.port());
        QVERIFY(c.isConnected());
        QCOMPARE(c.state().statusText(), QStringLiteral("Connected"));
        QCOMPARE(c.state().pixelSizeText(), QStringLiteral("47.5 um"));

        // A job of 3 layers of 10 s each: started, two layers, finished, each with its time.
        shown.clear();
        sim.command("start 3");
        QTRY_COMPARE_WITH_TIMEOUT(c.state().status, PrinterState::Completed, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 8, 2000);
        const QList<Shown> expected{
            {PrinterState::Printing, 0, 3, 0},    {PrinterState::Printing, 0, 3, 30},
            {PrinterState::Printing, 1, 3, 30},   {PrinterState::Printing, 1, 3, 20},
            {PrinterState::Printing, 2, 3, 20},   {PrinterState::Printing, 2, 3, 10},
            {PrinterState::Completed, 3, 3, 10},  {PrinterState::Completed, 3, 3, 0},
        };
        QCOMPARE(shown, expected);
        QCOMPARE(c.state().remainingTimeText(), QStringLiteral("00:00:00"));
    }

    void pauseResumeAbort()
    {
        SimProcess sim(dir.path(), {"--layer-ms", "150"});
        PrinterConnection c;
        connectTo(c, sim.port());
        sim.command("start 100");
        QTRY_VERIFY_WITH_TIMEOUT(c.state().currentLayer >= 1, 5000);
        sim.command("pause");
        QTRY_COMPARE_WITH_TIMEOUT(c.state().statusText(), QStringLiteral("Printing paused"), 5000);
        const qint64 at = c.state().currentLayer;
        sim.command("resume");
        QTRY_COMPARE_WITH_TIMEOUT(c.state().statusText(), QStringLiteral("Printing in Progress"), 5000);
        QVERIFY(c.state().currentLayer >= at);
        sim.command("abort");
        QTRY_COMPARE_WITH_TIMEOUT(c.state().statusText(), QStringLiteral("Printing aborted"), 5000);
    }

    void uploadArrivesByteForByte()
    {
        QTemporaryDir store;
        SimProcess sim(store.path(), {"--no-print"});
        PrinterConnection c;
        connectTo(c, sim.port());

        const QString path = dir.filePath(QStringLiteral("job one.lpk"));
        writeRandomFile(path, 3 * 1024 * 1024 + 17, 1);
        QList<qint64> progress;
        QSet<qint64> totals;
        connect(&c, &PrinterConnection::uploadProgress, [&](qint64 sent, qint64 total) {
            totals << total;
            progress << sent;
        });
        QSignalSpy finished(&c, &PrinterConnection::uploadFinished);
        QString error;
        // Nothing to read (a missing file, a folder): refused before a byte is sent.
        QVERIFY(!c.upload(dir.filePath(QStringLiteral("missing.lpk")), &error));
        QVERIFY(error.contains(QStringLiteral("missing.lpk")));
        QVERIFY(!c.upload(dir.path(), &error));
        QVERIFY2(c.upload(path, &error), qPrintable(error));
        QVERIFY(c.isUploading());
        // One upload at a time per printer.
        QVERIFY(!c.upload(path, &error));
        QCOMPARE(error, QStringLiteral("An upload to this printer is still running."));
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QVERIFY2(finished[0][0].toBool(), qPrintable(finished[0][1].toString()));
        QVERIFY(sim.waitForOutput(QStringLiteral("received job one.lpk (3145745 bytes)")));
        QCOMPARE(sim.output().count(QStringLiteral("receiving")), 1);
        QVERIFY(fileBytes(store.filePath(QStringLiteral("job one.lpk"))) == fileBytes(path));
        QVERIFY(!progress.isEmpty());
        QVERIFY(std::is_sorted(progress.begin(), progress.end()));
        QCOMPARE(progress.last(), qint64(3 * 1024 * 1024 + 17));
        QCOMPARE(totals, QSet<qint64>{3 * 1024 * 1024 + 17});
        // The link stays up for the job reports.
        QVERIFY(c.isConnected());

        // An empty package is a file too.
        const QString empty = dir.filePath(QStringLiteral("empty.lpk"));
        writeRandomFile(empty, 0, 2);
        QVERIFY(c.upload(empty, &error));
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 5000);
        QVERIFY(finished[1][0].toBool());
        QVERIFY(QFileInfo(store.filePath(QStringLiteral("empty.lpk"))).exists());
    }

    void connectFailures()
    {
        // Refused: nothing listens on the port any more.
        quint16 freePort;
        {
            ScriptedPeer peer;
            freePort = peer.port();
        }
        PrinterConnection c;
        QString error;
        QVERIFY(!c.upload(dir.filePath(QStringLiteral("any.lpk")), &error));
        QCOMPARE(error, QStringLiteral("Confirm the printer is connected."));
        QSignalSpy failed(&c, &PrinterConnection::connectFailed);
        c.connectTo(QStringLiteral("127.0.0.1"), freePort);
        QVERIFY(c.isConnecting());
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 3000);
        QVERIFY(!c.isConnected());
        QVERIFY(!c.isConnecting());
    }

    void connectGivesUpAfterItsWait()
    {
        // A listener that never accepts, its backlog full: further connection attempts get no
        // answer at all, as from a printer that is switched off.
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        QVERIFY(::bind(fd, reinterpret_cast<sockaddr *>(&addr), len) == 0);
        QVERIFY(::listen(fd, 0) == 0);
        QVERIFY(::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0);
        const quint16 port = ntohs(addr.sin_port);
        QList<QTcpSocket *> fillers;
        for (int i = 0; i < 3; ++i) {
            fillers << new QTcpSocket(this);
            fillers.last()->connectToHost(QStringLiteral("127.0.0.1"), port);
        }
        QTest::qWait(200);

        PrinterConnection c;
        QSignalSpy failed(&c, &PrinterConnection::connectFailed);
        QElapsedTimer t;
        t.start();
        c.connectTo(QStringLiteral("127.0.0.1"), port);
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 5000);
        const qint64 ms = t.elapsed();
        ::close(fd);
        qDeleteAll(fillers);
        if (c.isConnected() || !failed[0][0].toString().startsWith(QStringLiteral("No answer")))
            QSKIP("this system answered the connection attempt anyway");
        // It gave up on its own wait, not on the system's much longer one.
        QVERIFY2(ms <= PrinterConnection::kConnectTimeoutMs + 1000, qPrintable(QString::number(ms)));
        QVERIFY(!c.isConnecting());
    }

    void linesInPiecesAndGarbage()
    {
        ScriptedPeer peer;
        PrinterConnection c;
        QSignalSpy rejected(&c, &PrinterConnection::lineRejected);
        QSignalSpy closed(&c, &PrinterConnection::disconnected);
        c.connectTo(QStringLiteral("127.0.0.1"), peer.port());
        QTcpSocket *p = peer.waitForClient();
        QVERIFY(p);

        // One complete line and the start of the next; the next segment completes it.
        p->write("pixel 50\nprint started 10\nprint pr");
        p->flush();
        QTRY_COMPARE_WITH_TIMEOUT(c.state().totalLayers, qint64(10), 5000);
        QTest::qWait(100);
        p->write("og 3 10\n");
        QTRY_COMPARE_WITH_TIMEOUT(c.state().currentLayer, qint64(3), 5000);

        // Four megabytes without a line end, binary noise, lines with missing or wild values.
        p->write(QByteArray(4 * 1024 * 1024, 'Z'));
        p->write("\n\x01\x02\xff\xfe\x00garbage\n", 14);
        p->write("print prog\nprint prog -1 10\nprint prog 3 x\ntime\npixel -4\nprint prog 99 10\n");
        p->write("print prog 4 10\n");
        QTRY_COMPARE_WITH_TIMEOUT(c.state().currentLayer, qint64(4), 10000);
        QCOMPARE(c.state().totalLayers, qint64(10));
        QCOMPARE(c.state().pixelSizeUm, 50.0f);
        QVERIFY2(rejected.size() == 7, qPrintable(QString::number(rejected.size())));
        QVERIFY(c.isConnected());

        // The printer goes away in the middle of a line: the fragment is not shown.
        p->write("print prog 9 10");
        p->flush();
        p->disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 5000);
        QCOMPARE(c.state().currentLayer, qint64(4));
        QCOMPARE(c.state().statusText(), QStringLiteral("Not connected"));
        QVERIFY(!c.isConnected());
    }

    void closeInTheMiddleOfAnUpload()
    {
        ScriptedPeer peer;
        PrinterConnection c;
        QSignalSpy finished(&c, &PrinterConnection::uploadFinished);
        QSignalSpy closed(&c, &PrinterConnection::disconnected);
        QTcpSocket *p = startStalledUpload(peer, c, QStringLiteral("cut.lpk"), 48, 256 * 1024);
        QVERIFY(p);
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += p->readAll()).size() > 200000, 10000);
        QVERIFY(got.startsWith("fileName cut.lpk\nfileStart 50331648\n"));
        p->abort();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QVERIFY(!finished[0][0].toBool());
        QVERIFY2(finished[0][1].toString().contains(QStringLiteral("of 50331648 bytes")),
                 qPrintable(finished[0][1].toString()));
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 5000);
        QVERIFY(!c.isUploading());
    }

    void cancelledUploadClosesTheLink()
    {
        ScriptedPeer peer;
        PrinterConnection c;
        QSignalSpy finished(&c, &PrinterConnection::uploadFinished);
        QSignalSpy closed(&c, &PrinterConnection::disconnected);
        QTcpSocket *p = startStalledUpload(peer, c, QStringLiteral("cancel.lpk"), 48, 64 * 1024);
        QVERIFY(p);
        QTest::qWait(300);
        QVERIFY(c.isUploading());
        c.cancelUpload();
        QCOMPARE(finished.size(), 1);
        QVERIFY(!finished[0][0].toBool());
        QCOMPARE(finished[0][1].toString(), QStringLiteral("The upload of cancel.lpk was cancelled"));
        // The printer still waits for the rest of the file; only a new link brings it back in step.
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 5000);
        QVERIFY(!c.isConnected());
        // The printer sees the link end once it reads on.
        p->setReadBufferSize(0);
        QTRY_COMPARE_WITH_TIMEOUT((p->readAll(), p->state()), QAbstractSocket::UnconnectedState, 10000);
    }

    void aPrinterThatStopsReading()
    {
        ScriptedPeer peer;
        PrinterConnection c;
        c.setUploadTimeouts(700, 700);
        QSignalSpy finished(&c, &PrinterConnection::uploadFinished);
        int ticks = 0;
        QTimer heartbeat;
        connect(&heartbeat, &QTimer::timeout, [&] { ++ticks; });
        heartbeat.start(20);
        // Never read from the start of the upload: the socket buffers fill and stay full.
        QVERIFY(startStalledUpload(peer, c, QStringLiteral("stuck.lpk"), 64, 1));
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QVERIFY(!finished[0][0].toBool());
        QVERIFY2(finished[0][1].toString().startsWith(QStringLiteral("The printer stopped taking data")),
                 qPrintable(finished[0][1].toString()));
        // The event loop kept running all along.
        QVERIFY(ticks >= 20);
    }

    void twoPrintersAtOnce()
    {
        QTemporaryDir storeA;
        QTemporaryDir storeB;
        SimProcess a(storeA.path(), {"--pixel", "35", "--layers", "4", "--layer-ms", "60"});
        SimProcess b(storeB.path(), {"--pixel", "50", "--layers", "6", "--layer-ms", "60"});
        PrinterConnection ca;
        PrinterConnection cb;
        ca.connectTo(QStringLiteral("127.0.0.1"), a.port());
        cb.connectTo(QStringLiteral("127.0.0.1"), b.port());
        QTRY_VERIFY_WITH_TIMEOUT(ca.state().ready && cb.state().ready, 5000);
        QCOMPARE(ca.state().pixelSizeText(), QStringLiteral("35 um"));
        QCOMPARE(cb.state().pixelSizeText(), QStringLiteral("50 um"));

        const QString fa = dir.filePath(QStringLiteral("a.lpk"));
        const QString fb = dir.filePath(QStringLiteral("b.lpk"));
        writeRandomFile(fa, 2 * 1024 * 1024, 5);
        writeRandomFile(fb, 3 * 1024 * 1024, 6);
        QSignalSpy doneA(&ca, &PrinterConnection::uploadFinished);
        QSignalSpy doneB(&cb, &PrinterConnection::uploadFinished);
        QVERIFY(ca.upload(fa));
        QVERIFY(cb.upload(fb));
        QTRY_VERIFY_WITH_TIMEOUT(doneA.size() == 1 && doneB.size() == 1, 20000);
        QVERIFY(doneA[0][0].toBool());
        QVERIFY(doneB[0][0].toBool());
        QVERIFY(fileBytes(storeA.filePath(QStringLiteral("a.lpk"))) == fileBytes(fa));
        QVERIFY(fileBytes(storeB.filePath(QStringLiteral("b.lpk"))) == fileBytes(fb));
        // Each printer then plays its own job, reported on its own link.
        QTRY_COMPARE_WITH_TIMEOUT(ca.state().status, PrinterState::Completed, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(cb.state().status, PrinterState::Completed, 5000);
        QCOMPARE(ca.state().totalLayers, qint64(4));
        QCOMPARE(cb.state().totalLayers, qint64(6));
    }
};

QTEST_GUILESS_MAIN(PrinterLinkTest)
#include "tst_link.moc"
