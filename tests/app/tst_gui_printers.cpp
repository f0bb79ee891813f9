#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QtTest>

#include "support_window.h"
#include "config/SettingsFile.h"
#include "printer/PrinterConnection.h"
#include "printer/ui/UnitPrinter.h"

// The printer tab: the list kept in the settings file, its context menu, and panels connected
// to the printer simulator on 127.0.0.1 while it receives a package and plays a job.

namespace {

// The simulator as a child process; returns its port.
quint16 startSimulator(QProcess &sim, const QString &folder, const QStringList &args)
{
    sim.start(ORVELL_PRINTER_SIM_PATH, QStringList{"--port", "0", "--dir", folder} + args);
    QString out;
    for (int i = 0; i < 500 && !out.contains('\n'); ++i) {
        sim.waitForReadyRead(20);
        out += QString::fromUtf8(sim.readAllStandardOutput());
    }
    const QRegularExpressionMatch m = QRegularExpression("listening on 127\\.0\\.0\\.1:(\\d+)").match(out);
    if (!m.hasMatch())
        qFatal("the printer simulator did not start: %s", qPrintable(out));
    return quint16(m.captured(1).toUInt());
}

QString text(UnitPrinter *p, const char *label)
{
    return p->findChild<QLabel *>(label)->text();
}

QMessageBox *openBox(const QString &objectName)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w))
            if (box->objectName() == objectName && box->isVisible())
                return box;
    return nullptr;
}

void showPrinterTab(Window &w)
{
    auto *tabs = w.findChild<QTabWidget *>("tabMenu");
    tabs->setCurrentWidget(w.findChild<QWidget *>("tabPrinter"));
}

} // namespace

class TestPrinterTab : public WindowTest
{
    Q_OBJECT
public:
    TestPrinterTab() : WindowTest(NoSettingsFile, NoWindow) {}

private slots:
    void listComesFromAndGoesToTheSettingsFile()
    {
        writeSmallPrinterSettings(m_data->filePath("settings.ini"), [](EnvironmentSettings &s) {
            s.printer.printers = {{"Left", "192.168.0.11"}, {"Right", "printer.local"}};
        });
        Window w;
        w.show();
        waitForBuildPlate(w);
        QList<UnitPrinter *> panels = w.printerPanels();
        QCOMPARE(panels.size(), 2);
        QCOMPARE(panels[0]->name(), QStringLiteral("Left"));
        QCOMPARE(panels[1]->address(), QStringLiteral("printer.local"));
        QCOMPARE(text(panels[0], "lblPrinterStatus"), QStringLiteral("Not connected"));
        QCOMPARE(text(panels[0], "lblRemainingTime"), QStringLiteral("00:00:00"));
        QVERIFY(!panels[0]->findChild<QPushButton *>("pbUpload")->isEnabled());

        // Add from the context menu of the printer tab.
        showPrinterTab(w);
        onNextMenu(dialogWatchers(), nullptr, "Add");
        w.printerContextMenu(QPoint(5, 5));
        QTRY_COMPARE(w.printerPanels().size(), 3);
        QCOMPARE(w.printerEntries().last(), (PrinterEntry{"Printer Name", "000.000.000.000"}));

        // Rename the first entry; an empty answer is a name too.
        QListWidget *list = w.findChild<QListWidget *>("lwPrinters");
        const QPoint first = list->visualItemRect(list->item(0)).center();
        QString label;
        onNextModal<QInputDialog>([&label](QInputDialog *d) {
            label = d->labelText();
            QCOMPARE(d->textValue(), QStringLiteral("Left"));
            d->setTextValue(QString(""));
            d->accept();
        });
        onNextMenu(dialogWatchers(), nullptr, "Rename");
        w.printerContextMenu(first);
        QCOMPARE(label, QStringLiteral("New printer name: "));
        QCOMPARE(w.printerPanels()[0]->name(), QString(""));

        // Nothing under the cursor: a notice, no change.
        const auto notices = watchNotices();
        QCursor::setPos(list->viewport()->mapToGlobal(QPoint(-50, -50)));
        w.renamePrinter();
        QTRY_COMPARE(notices->value(0), QStringLiteral("          Incorrect printer selected          "));

        // The delete button removes its own entry.
        QTest::mouseClick(w.printerPanels()[1]->findChild<QPushButton *>("pbDelete"), Qt::LeftButton);
        QTRY_COMPARE(w.printerPanels().size(), 2);

        QString error;
        QVERIFY2(w.writeSettingsFile(&error), qPrintable(error));
        EnvironmentSettings reread;
        QVERIFY(readSettingsFile(m_data->filePath("settings.ini"), reread));
        QCOMPARE(reread.printer.printers,
                 (QList<PrinterEntry>{{"", "192.168.0.11"}, {"Printer Name", "000.000.000.000"}}));
    }

    void panelsFollowTheSimulatedPrinters()
    {
        QTemporaryDir store;
        QProcess simA;
        QProcess simB;
        const quint16 portA = startSimulator(simA, store.path(), {"--layers", "5", "--layer-ms", "1000"});
        const quint16 portB = startSimulator(simB, store.path(), {"--no-print", "--pixel", "35.5"});
        writeSmallPrinterSettings(m_data->filePath("settings.ini"), [&](EnvironmentSettings &s) {
            s.printer.printers = {{"Desk A", QStringLiteral("127.0.0.1:%1").arg(portA)},
                                  {"Desk B", QStringLiteral("127.0.0.1:%1").arg(portB)}};
        });
        Window w;
        w.show();
        waitForBuildPlate(w);
        showPrinterTab(w);
        UnitPrinter *a = w.printerPanels()[0];
        UnitPrinter *b = w.printerPanels()[1];

        // Not connected yet: uploading asks for the connection first.
        const auto notices = watchNotices();
        a->tcpFileSend(m_data->filePath("none.lpk"));
        QTRY_COMPARE(notices->value(0), QStringLiteral("          Confirm the printer is connected.          "));

        // Both connected at once.
        QTest::mouseClick(a->findChild<QPushButton *>("pbConnect"), Qt::LeftButton);
        QTest::mouseClick(b->findChild<QPushButton *>("pbConnect"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(text(a, "lblPrinterStatus"), QStringLiteral("Connected"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(text(b, "lblPrinterStatus"), QStringLiteral("Connected"), 5000);
        QCOMPARE(text(a, "lblPixelSize"), QStringLiteral("50 um"));
        QCOMPARE(text(b, "lblPixelSize"), QStringLiteral("35.5 um"));
        QVERIFY(a->findChild<QPushButton *>("pbUpload")->isEnabled());
        QVERIFY(a->findChild<QPushButton *>("pbConnect")->property("switchedOn").toBool());

        // A package that cannot be read: a warning, the window and the link stay.
        a->tcpFileSend(m_data->filePath("missing.lpk"));
        QTRY_VERIFY(openBox("printerWarning"));
        QVERIFY(openBox("printerWarning")->text().contains("could not be opened for reading"));
        openBox("printerWarning")->close();
        QVERIFY(a->connection()->isConnected());

        // A package goes to printer A; it arrives whole and the job plays on the panel.
        const QString package = m_data->filePath("plate 1.lpk");
        QByteArray content(2 * 1024 * 1024 + 3, '\0');
        for (int i = 0; i < content.size(); ++i)
            content[i] = char((unsigned(i) * 7919u) >> 3);
        writeFile(package, content);
        // Through the upload button and its file dialog.
        QString title;
        QStringList filters;
        onNextModal<QFileDialog>([&](QFileDialog *d) {
            title = d->windowTitle();
            filters = d->nameFilters();
            d->selectFile(package);
            static_cast<QDialog *>(d)->accept();
        });
        QTest::mouseClick(a->findChild<QPushButton *>("pbUpload"), Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("Upload LPK file to Printer"));
        QCOMPARE(filters, (QStringList{"LPK file format (*.lpk)", "All Files (*)"}));
        QCOMPARE(a->lastUploadLocation(), package);
        QTRY_VERIFY_WITH_TIMEOUT(logText(w).contains("The printer received plate 1.lpk (2097155 bytes)"), 10000);
        QCOMPARE(readFile(store.filePath("plate 1.lpk")), content);
        // The fields of one moment agree: layer c of 5, 8 s per layer still to go. (A layer's
        // time report follows its progress report; both are waited for.)
        const auto midJob = [a] {
            const int c = text(a, "lblCurrentLayer").toInt();
            return text(a, "lblPrinterStatus") == QStringLiteral("Printing in Progress") && c >= 1 && c < 5
                && text(a, "lblTotalLayers") == QStringLiteral("5")
                && a->findChild<QProgressBar *>("progbarPrinting")->value() == c
                && a->findChild<QProgressBar *>("progbarPrinting")->maximum() == 5
                && text(a, "lblRemainingTime") == QStringLiteral("00:00:%1").arg((5 - c) * 8, 2, 10, QLatin1Char('0'));
        };
        QTRY_VERIFY_WITH_TIMEOUT(midJob(), 5000);
        const QByteArray shot = qgetenv("ORVELL_PRINTER_SCREENSHOT");
        if (!shot.isEmpty())
            w.grab().save(QString::fromLocal8Bit(shot));
        QTRY_COMPARE_WITH_TIMEOUT(text(a, "lblPrinterStatus"), QStringLiteral("Printing Completed"), 8000);
        QCOMPARE(text(a, "lblCurrentLayer"), QStringLiteral("5"));
        QCOMPARE(text(b, "lblPrinterStatus"), QStringLiteral("Connected"));   // B saw none of it

        // Switching A off: not connected, no uploads; B stays connected.
        QTest::mouseClick(a->findChild<QPushButton *>("pbConnect"), Qt::LeftButton);
        QTRY_COMPARE(text(a, "lblPrinterStatus"), QStringLiteral("Not connected"));
        QVERIFY(!a->findChild<QPushButton *>("pbUpload")->isEnabled());
        QVERIFY(!a->findChild<QPushButton *>("pbConnect")->property("switchedOn").toBool());
        QVERIFY(b->connection()->isConnected());

        // A printer that is gone: the warning comes within the connect wait, the window runs on.
        simA.kill();
        simA.waitForFinished(5000);
        int ticks = 0;
        QTimer heartbeat;
        connect(&heartbeat, &QTimer::timeout, [&] { ++ticks; });
        heartbeat.start(20);
        QTest::mouseClick(a->findChild<QPushButton *>("pbConnect"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(openBox("printerWarning"), 3000);
        QCOMPARE(openBox("printerWarning")->text(), QStringLiteral("          Failed connection.          "));
        QCOMPARE(openBox("printerWarning")->windowTitle(), QStringLiteral("Orvell3D"));
        openBox("printerWarning")->close();
        QVERIFY(ticks > 0);
        simB.kill();
        simB.waitForFinished(5000);
        QTRY_COMPARE(text(b, "lblPrinterStatus"), QStringLiteral("Not connected"));
    }
};

QTEST_MAIN(TestPrinterTab)
#include "tst_gui_printers.moc"
