#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QInputDialog>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "support_window.h"
#include "app/ImageHelper.h"
#include "app/Window.h"
#include "config/ui/LbfSetting.h"
#include "package/Archiver.h"
#include "scene/Scene.h"
#include "view/ui/Canvas.h"

// Hollowing in the window: the package dialog's hollowing box, the slice image worker, and the
// Hollow command's hollowed-model mesh.
class TestHollowingCommand : public WindowTest
{
    Q_OBJECT
public:
    TestHollowingCommand() : WindowTest(SmallPrinterSettings, ShownWindow) {}

private slots:

    // At 100 µm pixels a 10 mm cube is 100 × 100 pixels; a 1 mm wall leaves rings of
    // 100² − 80² = 3600 pixels.
    void packageDialogExportsHollowLayers()
    {
        Window &w = *m_window;
        writeBox(m_data->filePath("cube.obj"), 10, 10, 10);
        loadModel(w, m_data->filePath("cube.obj"));

        auto *exportAction = w.findChild<QAction *>("actionSave_as_LBF_file");
        exportAction->setEnabled(true);   // the application enables it after start-up
        bool offered = false;
        int thicknessUm = 0;
        const QString chosen = m_data->filePath("cube.lpk");
        auto *timer = new QTimer(dialogWatchers());
        connect(timer, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *lbf = qobject_cast<LbfSetting *>(modal)) {
                auto *box = lbf->findChild<QGroupBox *>("grpHollowing");
                offered = box && !box->isChecked();   // off until asked for
                box->setChecked(true);
                lbf->findChild<QDoubleSpinBox *>("inpHollowWall")->setValue(1.0);
                thicknessUm = lbf->thickness();
                lbf->accept();
            } else if (auto *save = qobject_cast<QFileDialog *>(modal)) {
                save->findChild<QLineEdit *>("fileNameEdit")->setText(chosen);
                QMetaObject::invokeMethod(save, "accept");
            }
        });
        timer->start(20);
        exportAction->trigger();
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
    }

    // The worker hollows one layer per event-loop turn behind its progress dialog; its
    // cancel leaves no result at all.
    void imageHelperHollowsAndCancels()
    {
        QWidget parent;
        imageHelper helper(&parent);
        QImage square(60, 60, QImage::Format_Grayscale8);
        square.fill(0);
        for (int y = 10; y < 50; ++y)
            for (int x = 10; x < 50; ++x)
                square.setPixel(x, y, qRgb(255, 255, 255));
        QList<QPixmap> stack;
        for (int i = 0; i < 8; ++i)
            stack << QPixmap::fromImage(square);
        QSignalSpy finished(&helper, &imageHelper::signalFinishHollowing);
        QSignalSpy logged(&helper, &imageHelper::updateLogWindow);
        helper.hollowList(stack, 3, 1);
        auto *dialog = parent.findChild<QProgressDialog *>();
        QVERIFY(dialog);
        QCOMPARE(dialog->labelText(), QString("Hollowing layers..."));
        QCOMPARE(dialog->windowTitle(), QString("Lumacore"));
        QVERIFY(dialog->findChild<QPushButton *>()->text() == QString("Abort Hollowing"));
        QCOMPARE(finished.count(), 0);   // nothing runs before the event loop does
        QTRY_COMPARE(finished.count(), 1);
        const QList<QPixmap> result = finished.at(0).at(0).value<QList<QPixmap>>();
        QCOMPARE(result.size(), 8);
        // Layers 2 … 6 hollow (the floor is layers 0 and 1, the lid layer 7): 40² − 34² pixels.
        auto lit = [](const QPixmap &p) {
            const QImage i = p.toImage().convertToFormat(QImage::Format_Grayscale8);
            int n = 0;
            for (int y = 0; y < i.height(); ++y)
                for (int x = 0; x < i.width(); ++x)
                    n += qGray(i.pixel(x, y)) > 0;
            return n;
        };
        QCOMPARE(lit(result[1]), 1600);
        QCOMPARE(lit(result[4]), 1600 - 34 * 34);
        QCOMPARE(lit(result[7]), 1600);
        QCOMPARE(logged.count(), 1);
        QVERIFY(logged.at(0).at(0).toString().contains(QRegularExpression("^Hollowing time: \\d+\\.\\d seconds\\.$")));

        helper.hollowList(stack, 3, 1);
        helper.onHollowingCancel();
        QTest::qWait(200);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!helper.isHollowing());

        // A new list while one is running starts over; the old chain's next call is dropped.
        helper.hollowList(stack, 3, 1);
        QTest::qWait(0);
        helper.hollowList(stack, 3, 1);
        QTRY_COMPARE(finished.count(), 2);
        QCOMPARE(lit(finished.at(1).at(0).value<QList<QPixmap>>()[4]), 1600 - 34 * 34);
    }

    // The Hollow command: a 12 mm cube with a 2 mm wall gets an 8 mm cavity, from 2.25 mm (the
    // floor keeps one coarse layer more) to 10 mm, as a child object.
    void hollowedModelMeshIsAdded()
    {
        Window &w = *m_window;
        writeBox(m_data->filePath("cube.obj"), 12, 12, 12);
        loadModel(w, m_data->filePath("cube.obj"));
        Scene *scene = w.canvas->scene();
        QCOMPARE(scene->objectCount(), 2);
        const QString name = scene->object(1)->name;
        auto *command = w.findChild<QAction *>("actionHollow");
        QVERIFY(command->isVisible() && command->isEnabled());
        scene->changeSelObj({1}, 1);
        onNextModal<QInputDialog>([](QInputDialog *d) {
            d->setDoubleValue(2.0);
            d->accept();
        });
        command->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(scene->objectCount(), 3, 20000);
        const Object *hollow = scene->object(2);
        QCOMPARE(hollow->type, int(TypeHollowedModel));
        QCOMPARE(hollow->parent, 1);
        QCOMPARE(hollow->name, name + " - hollowMesh");
        const Object *model = scene->object(1);
        // bbox: top z, bottom z, min y, max y, min x, max x.
        const QList<float> box = hollow->bbox;
        const float cx = (model->bbox[4] + model->bbox[5]) / 2, cy = (model->bbox[2] + model->bbox[3]) / 2;
        QVERIFY2(qAbs(box[0] - 10.0f) < 1e-3 && qAbs(box[1] - 2.25f) < 1e-3, qPrintable(QString("%1 %2").arg(box[0]).arg(box[1])));
        QVERIFY(qAbs(box[5] - box[4] - 8.0f) < 1e-3 && qAbs((box[4] + box[5]) / 2 - cx) < 0.13f);
        QVERIFY(qAbs(box[3] - box[2] - 8.0f) < 1e-3 && qAbs((box[2] + box[3]) / 2 - cy) < 0.13f);
        QVERIFY(model->opacity < 1.0f);   // the model turns see-through so the cavity shows
        QVERIFY(logText(w).contains("Hollowing time: "));
    }
};

QTEST_MAIN(TestHollowingCommand)
#include "tst_gui_hollowing.moc"
