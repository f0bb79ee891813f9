#include <QtTest>
#include <cmath>

#include "scene/Scene.h"
#include "slicing/CpuFillRenderer.h"
#include "slicing/SectionOutlines.h"
#include "support/Bases.h"
#include "support_slicing.h"

// Bases as they come out in the layers: sizes in pixels at a known pixel size, by hand.
class TestBasesSlice : public QObject
{
    Q_OBJECT

    static SliceParameters params50()
    {
        SliceParameters p;
        p.projectorWidthPx = 1200;
        p.projectorHeightPx = 1000;
        p.pixelSizeXUm = p.pixelSizeYUm = 50.0f;
        return p;
    }

    // The layer at heightMm of the scene's objects of one type (all types for 0).
    static cv::Mat layerOf(const Scene &scene, float heightMm, int type = 0)
    {
        std::vector<SliceObject> objects;
        for (const SliceObject &o : sliceObjectsOf(scene))
            if (type == 0 || o.type == type)
                objects.push_back(o);
        CpuFillRenderer r;
        QString error;
        const SliceParameters p = params50();
        if (!r.configure(p, &error))
            qFatal("%s", qPrintable(error));
        cv::Mat image;
        if (!r.render(objects, heightMm * p.sceneScale(), 0, RenderFlags(), &image, &error))
            qFatal("%s", qPrintable(error));
        return image;
    }

    // Lit pixels in the row (or column) through the plate point (x, y) mm.
    static int litInRow(const cv::Mat &image, float yMm)
    {
        return cv::countNonZero(image.row(int(std::floor(image.rows / 2.0 + yMm * 20))));
    }
    static int litInColumn(const cv::Mat &image, float xMm)
    {
        return cv::countNonZero(image.col(int(std::floor(image.cols / 2.0 + xMm * 20))));
    }

    static Scene *newScene()
    {
        auto *s = new Scene;
        s->setLoadPauseMs(0);
        const SliceParameters p = params50();
        s->setProjector(p.projectorWidthPx, p.projectorHeightPx, p.pixelSizeXUm, p.pixelSizeYUm);
        return s;
    }

    static int addModel(Scene &scene, const std::shared_ptr<Mesh> &mesh)
    {
        scene.load_mesh({*mesh}, "/models/part.stl");
        return scene.objectCount() - 1;
    }

private slots:
    void rectangularBaseInItsLayers()
    {
        // A 20 × 10 mm model with margin 2: a 24 × 14 mm base, 480 × 280 pixels of 50 µm,
        // whose corners leave the plate.
        std::unique_ptr<Scene> scene(newScene());
        Bases bases(scene.get());
        const int model = addModel(*scene, boxMesh(20, 10, 5));
        scene->changeSelObj({model}, model);
        QCOMPARE(bases.addRectBase(2, 1), 1);
        const cv::Mat low = layerOf(*scene, 0.5f, TypeBase);
        QVERIFY(qAbs(litInRow(low, 0) - 480) <= 1);
        QVERIFY(qAbs(litInColumn(low, 0) - 280) <= 1);
        // 1.9 mm out on a corner's diagonal the bottom lies 0.95 · 1.2 = 1.14 mm up.
        const float d = 1.9f * float(M_SQRT1_2);
        for (auto [sx, sy] : {std::pair<float, float>{1, 1}, {-1, 1}, {-1, -1}, {1, -1}}) {
            QVERIFY(!litAt(low, sx * (10 + d), sy * (5 + d), 50));
            QVERIFY(litAt(layerOf(*scene, 1.7f, TypeBase), sx * (10 + d), sy * (5 + d), 50));
        }
        QVERIFY(litAt(low, 11.9f, 0, 50) && !litAt(layerOf(*scene, 1.7f, TypeBase), 11.9f, 0, 50));
    }

    void globalBaseMarginInItsLayer()
    {
        // Footprint 10 × 20 mm, margin 1: the base reaches 1 + 2 − 0.701 = 2.299 mm beyond it,
        // 14.598 × 24.598 mm = 292 × 492 pixels.
        std::unique_ptr<Scene> scene(newScene());
        Bases bases(scene.get());
        addModel(*scene, boxMesh(10, 20, 5));
        QVERIFY(bases.addGlobalBase(1, 0.8f) > 0);
        const cv::Mat layer = layerOf(*scene, 0.4f, TypeBase);
        QVERIFY2(qAbs(litInRow(layer, 0) - 292) <= 2, qPrintable(QString::number(litInRow(layer, 0))));
        QVERIFY2(qAbs(litInColumn(layer, 0) - 492) <= 2, qPrintable(QString::number(litInColumn(layer, 0))));
        QCOMPARE(cv::countNonZero(layerOf(*scene, 0.9f, TypeBase)), 0);
        // A model turned by 45°: the footprint is a diamond, and so is the base around it.
        std::unique_ptr<Scene> turned(newScene());
        Bases turnedBases(turned.get());
        const int m = addModel(*turned, boxMesh(10, 10, 5));
        turned->object(m)->rotation = QVector3D(0, 0, 45);
        turned->refreshAABB(m, 0);
        QVERIFY(turnedBases.addGlobalBase(1, 0.8f) > 0);
        const cv::Mat diamond = layerOf(*turned, 0.4f, TypeBase);
        // Across the middle: the diagonal 10·√2 plus 2.299 on each side.
        QVERIFY2(qAbs(litInRow(diamond, 0) - (10 * M_SQRT2 + 2 * 2.299) * 20) <= 3,
                 qPrintable(QString::number(litInRow(diamond, 0))));
    }

    void ringBaseFromTheCut()
    {
        std::unique_ptr<Scene> scene(newScene());
        Bases bases(scene.get());
        const int model = addModel(*scene, boxMesh(10, 10, 10));
        const QList<QPolygonF> section = sectionOutlinesMm(*scene, model, 6.0f);
        QCOMPARE(section.size(), 1);
        QVERIFY(qAbs(section.first().boundingRect().width() - 10) < 1e-3);
        QVERIFY(bases.createRingBase(section, 6.0f) > 0);
        // The skirt narrows upward: about 1.15 mm at 0.5 mm, 0.15 mm at 5 mm (each side).
        const int w05 = litInRow(layerOf(*scene, 0.5f, TypeBase), 0);
        const int w25 = litInRow(layerOf(*scene, 2.5f, TypeBase), 0);
        const int w50 = litInRow(layerOf(*scene, 5.0f, TypeBase), 0);
        QVERIFY2(qAbs(w05 - 2 * 1.151 * 20) <= 2, qPrintable(QString::number(w05)));
        QVERIFY(w05 > w25 && w25 > w50 && w50 > 0);
        // Its inside is the model's outline: model and ring together fill the plate solidly.
        const int all = litInRow(layerOf(*scene, 0.5f), 0);
        QVERIFY(qAbs(all - (200 + w05)) <= 2);

        // Two separate parts in one model: two outlines, so no ring base.
        std::unique_ptr<Scene> pair(newScene());
        auto twoBoxes = boxMesh(4, 4, 10);
        auto right = boxMesh(4, 4, 10);
        std::vector<float> v = twoBoxes->vertices;
        for (std::size_t k = 0; k < right->vertices.size(); ++k)
            v.push_back(right->vertices[k] + (k % 3 == 0 ? 10.0f : 0.0f));
        std::vector<uint32_t> idx = twoBoxes->indices;
        for (uint32_t i : right->indices)
            idx.push_back(i + uint32_t(twoBoxes->vertexCount()));
        std::vector<uint32_t> rev = reverseWinding(idx);
        const int both = addModel(*pair, std::make_shared<Mesh>(std::move(v), std::move(idx), std::move(rev)));
        Bases pairBases(pair.get());
        QString error;
        QCOMPARE(pairBases.createRingBase(sectionOutlinesMm(*pair, both, 5.0f), 5.0f, &error), -1);
        QCOMPARE(error, QString("Multiple cross-section detected.\n          Ring base creation aborted."));
        QCOMPARE(pair->objectCount(), 2);
    }
};

QTEST_MAIN(TestBasesSlice)
#include "tst_bases_slice.moc"
