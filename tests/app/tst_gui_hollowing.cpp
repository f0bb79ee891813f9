#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "support_window.h"
#include "app/Window.h"
#include "config/ui/LbfSetting.h"
#include "package/Archiver.h"
#include "view/ui/Canvas.h"

// The Hollow command: the package dialog opens with hollowing on, and the package's layers
// are hollow. At 100 µm pixels a 10 mm cube is 100 × 100 pixels; a 1 mm wall leaves rings of
// 100² − 80² = 3600 pixels.
class TestHollowingCommand : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowTestData> m_data;

private slots:
    void initTestCase() { qputenv("ORVELL3D_STARTUP_WAIT_MS", "0"); }

    void hollowCommandExportsHollowLayers()
    {
        m_data = std::make_unique<WindowTestData>();
        QVERIFY(m_data->isValid());
        writeSmallPrinterSettings(m_data->filePath("settings.ini"));
        Window w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        waitForBuildPlate(w);
        writeBox(m_data->filePath("cube.obj"), 10, 10, 10);
        loadModel(w, m_data->filePath("cube.obj"));

        auto *hollow = w.findChild<QAction *>("actionHollow");
        QVERIFY(hollow->isVisible() && hollow->isEnabled());
        bool offered = false;
        int thicknessUm = 0;
        const QString chosen = m_data->filePath("cube.lpk");
        auto *timer = new QTimer(dialogWatchers());
        connect(timer, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *lbf = qobject_cast<LbfSetting *>(modal)) {
                auto *box = lbf->findChild<QGroupBox *>("grpHollowing");
                offered = box && box->isChecked();
                lbf->findChild<QDoubleSpinBox *>("inpHollowWall")->setValue(1.0);
                thicknessUm = lbf->thickness();
                lbf->accept();
            } else if (auto *save = qobject_cast<QFileDialog *>(modal)) {
                save->findChild<QLineEdit *>("fileNameEdit")->setText(chosen);
                QMetaObject::invokeMethod(save, "accept");
            }
        });
        timer->start(20);
        hollow->trigger();
        delete timer;
        QVERIFY(offered);
        QVERIFY(thicknessUm > 0 && 1000 % thicknessUm == 0);
        const int wallLayers = 1000 / thicknessUm;
        const int layers = 10000 / thicknessUm;
        QVERIFY2(logText(w).contains(QString("Hollowing with a wall of 1 mm (10 pixels, %1 layers).").arg(wallLayers)),
                 qPrintable(logText(w)));

        const QString package = m_data->filePath(QString("cube_z%1.lpk").arg(thicknessUm));
        const QString folder = m_data->filePath("unpacked");
        QProcess p;
        p.start("7za", {"x", "-y", "-p" + packagePassword(), "-o" + folder, package});
        QVERIFY(p.waitForFinished(60000) && p.exitCode() == 0);
        auto white = [&](int number) {
            const QImage image = QImage(QString("%1/S%2_P1.png").arg(folder).arg(number, 6, 10, QChar('0')))
                                     .convertToFormat(QImage::Format_Grayscale8);
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    n += qGray(image.pixel(x, y)) == 255;
            return n;
        };
        QCOMPARE(white(1), 10000);
        QCOMPARE(white(layers / 2), 3600);
        QCOMPARE(white(layers), 10000);
        m_data.reset();
    }
};

QTEST_MAIN(TestHollowingCommand)
#include "tst_gui_hollowing.moc"
