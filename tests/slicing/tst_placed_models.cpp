#include <QTemporaryDir>
#include <QtTest>
#include <opencv2/core.hpp>

#include "support_slicing.h"
#include "scene/Scene.h"
#include "slicing/CpuFillRenderer.h"

// A model placed, scaled and turned in the scene starts on the plate: its first layer is its
// bottom, and every layer up to its top holds it.
class PlacedModelsTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;

private slots:
    void initTestCase() { qputenv("ORVELL3D_DATA_DIR", m_data.path().toLocal8Bit()); }

    void scaledAndTurnedModelStartsOnThePlate()
    {
        Scene scene;
        scene.setLoadPauseMs(0);
        scene.load_mesh({*boxMesh(10, 10, 20)}, "/m/block.stl");
        // 10 × 10 × 6 mm after the scale; turned 90° about x it is 10 wide, 6 deep, 10 high.
        QVERIFY(scene.setObjectScale(1, QVector3D(1, 1, 0.3f)));
        QVERIFY(scene.setObjectRotation(1, QVector3D(90, 0, 0)));
        QCOMPARE(scene.topOfScene(), 10.0f);

        CpuFillRenderer renderer;
        Slicer slicer(&renderer);
        SliceRunOptions o;
        o.sliceThicknessUm = 100;
        o.maxZ = scene.topOfScene();
        o.sliceOnDisk = false;
        QString error;
        QVERIFY2(slicer.start(sliceObjectsOf(scene), smallProjector(), o, &error), qPrintable(error));
        QCOMPARE(runToEnd(slicer), Slicer::Finished);

        const std::vector<cv::Mat> &layers = slicer.sliceImages();
        QCOMPARE(int(layers.size()), 100);   // 10 mm at 100 µm
        // 100 µm pixels: 10 × 6 mm is 100 × 60 pixels, in the first layer as in the last.
        for (std::size_t k : {std::size_t(0), layers.size() - 1}) {
            const int lit = cv::countNonZero(layers[k] > 127);
            QVERIFY2(lit > 5800 && lit < 6200, qPrintable(QString("layer %1: %2 pixels").arg(k).arg(lit)));
        }
    }
};

QTEST_MAIN(PlacedModelsTest)
#include "tst_placed_models.moc"
