#include <QtTest>
#include <opencv2/core.hpp>

#include "package/LayerSilhouettes.h"

// Previews made from the layers: each view must show the part where a viewer on that side
// sees it.
class SilhouettesTest : public QObject
{
    Q_OBJECT

    static bool lit(const QImage &img, double fx, double fy)
    {
        return qGray(img.pixel(int(fx * (img.width() - 1)), int(fy * (img.height() - 1)))) > 128;
    }

private slots:
    void viewsShowTheLitCornerWhereItStands()
    {
        // 40 × 40 px of 1 mm, two layers of 20 mm: a column at the front-left corner
        // (small x, small y), a second layer only at the front-right corner.
        LayerSilhouettes s;
        cv::Mat first = cv::Mat::zeros(40, 40, CV_8UC1);
        first(cv::Rect(0, 0, 10, 10)).setTo(255);
        cv::Mat second = cv::Mat::zeros(40, 40, CV_8UC1);
        second(cv::Rect(30, 0, 10, 10)).setTo(255);
        s.addLayer(first);
        s.addLayer(second);
        s.addLayer(cv::Mat::zeros(20, 20, CV_8UC1));   // another size: ignored
        QCOMPARE(s.layerCount(), 2);

        const QList<QImage> p = s.previews(40.0, 1000.0, 1000.0, 200);
        QCOMPARE(p.size(), 4);
        for (const QImage &img : p)
            QCOMPARE(img.size(), QSize(200, 200));
        const QImage &top = p[0], &front = p[1], &left = p[2], &right = p[3];
        QVERIFY(lit(top, 0.05, 0.95) && lit(top, 0.95, 0.95) && !lit(top, 0.05, 0.05));
        QVERIFY(lit(front, 0.05, 0.95) && !lit(front, 0.95, 0.95));   // first layer at the bottom left
        QVERIFY(lit(front, 0.95, 0.05) && !lit(front, 0.05, 0.05));   // second layer top right
        QVERIFY(lit(left, 0.95, 0.95) && !lit(left, 0.05, 0.95));     // front edge on the viewer's right
        QVERIFY(lit(right, 0.05, 0.95) && !lit(right, 0.95, 0.95));   // front edge on the viewer's left

        QVERIFY(LayerSilhouettes().previews(1, 1, 1).isEmpty());
    }
};

QTEST_GUILESS_MAIN(SilhouettesTest)
#include "tst_silhouettes.moc"
