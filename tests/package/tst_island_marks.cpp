#include <QtTest>

#include "package/IslandMarks.h"

// The slice viewer's island marks: which picture a layer's island is on, the "next island"
// button's target, and the frame drawn where a mirrored picture shows the island.
class TestIslandMarks : public QObject
{
    Q_OBJECT

private slots:
    void layersAndPictures()
    {
        // Codes 2 and 3 are the two images of one layer split for the support exposure.
        const std::vector<int> first = firstImageOfLayers({0, 0, 2, 3, 1, 2, 3, 0});
        QCOMPARE(first, (std::vector<int>{0, 1, 2, 4, 5, 7}));
        QVERIFY(firstImageOfLayers({}).empty());

        const std::vector<int> islands = {3, 9, 40};
        QCOMPARE(nextIslandImage(islands, 0), 3);
        QCOMPARE(nextIslandImage(islands, 3), 9);
        QCOMPARE(nextIslandImage(islands, 20), 40);
        QCOMPARE(nextIslandImage(islands, 40), 3);   // from the last one round to the first
        QCOMPARE(nextIslandImage({}, 5), -1);
    }

    void framesWhereThePictureShowsTheIsland()
    {
        const QSize picture(100, 60);
        const QRect box(10, 5, 4, 3);   // columns 10–13, rows 5–7
        QCOMPARE(mirroredBox(box, picture, false, false), box);
        QCOMPARE(mirroredBox(box, picture, true, false), QRect(86, 5, 4, 3));
        QCOMPARE(mirroredBox(box, picture, false, true), QRect(10, 52, 4, 3));
        QCOMPARE(mirroredBox(box, picture, true, true), QRect(86, 52, 4, 3));

        QImage grey(picture, QImage::Format_Grayscale8);
        grey.fill(0);
        for (int y = 5; y < 8; ++y)
            for (int x = 10; x < 14; ++x)
                grey.setPixel(x, y, qRgb(255, 255, 255));
        QCOMPARE(drawIslandMarks(grey, {}), grey);
        const QImage marked = drawIslandMarks(grey, {box});
        QCOMPARE(marked.size(), picture);
        // The island itself stays as it was; a red frame surrounds it, clear of it.
        QCOMPARE(marked.pixel(11, 6), qRgb(255, 255, 255));
        QCOMPARE(marked.pixel(12, 8), qRgb(0, 0, 0));
        int red = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                red += marked.pixel(x, y) == qRgb(255, 40, 40);
        QVERIFY(red > 2 * (4 + 3));
        // Red above, below, left and right of the island, none next to it or far from it.
        auto redIn = [&](int x0, int y0, int x1, int y1) {
            int n = 0;
            for (int y = std::max(0, y0); y <= std::min(picture.height() - 1, y1); ++y)
                for (int x = std::max(0, x0); x <= std::min(picture.width() - 1, x1); ++x)
                    n += marked.pixel(x, y) == qRgb(255, 40, 40);
            return n;
        };
        QVERIFY(redIn(12, 0, 12, 4) > 0 && redIn(12, 8, 12, 20) > 0);
        QVERIFY(redIn(0, 6, 9, 6) > 0 && redIn(14, 6, 30, 6) > 0);
        QCOMPARE(redIn(9, 4, 14, 8), 0);
        QCOMPARE(redIn(30, 20, 99, 59), 0);
    }
};

QTEST_GUILESS_MAIN(TestIslandMarks)
#include "tst_island_marks.moc"
