#include "package/IslandMarks.h"

#include <QPainter>
#include <algorithm>

#include "slicing/LayerImage.h"

std::vector<int> firstImageOfLayers(const QList<int> &layerCodes)
{
    std::vector<int> first;
    for (int i = 0; i < layerCodes.size(); ++i) {
        if (layerCodes.at(i) != LayerSplitSecond)
            first.push_back(i);
    }
    return first;
}

int nextIslandImage(const std::vector<int> &islandImages, int current)
{
    if (islandImages.empty())
        return -1;
    const auto after = std::upper_bound(islandImages.begin(), islandImages.end(), current);
    return after != islandImages.end() ? *after : islandImages.front();
}

QRect mirroredBox(const QRect &box, const QSize &picture, bool horizontal, bool vertical)
{
    QRect r = box;
    if (horizontal)
        r.moveLeft(picture.width() - box.x() - box.width());
    if (vertical)
        r.moveTop(picture.height() - box.y() - box.height());
    return r;
}

QImage drawIslandMarks(const QImage &picture, const std::vector<QRect> &boxes)
{
    if (picture.isNull() || boxes.empty())
        return picture;
    QImage marked = picture.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&marked);
    // The viewer shows large panels at a fraction of their size: the frame grows with them.
    const int pen = std::max(2, std::max(picture.width(), picture.height()) / 400);
    const int gap = 2 * pen;
    painter.setPen(QPen(QColor(255, 40, 40), pen, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    for (const QRect &box : boxes) {
        const int grow = gap + pen / 2;
        painter.drawRect(box.adjusted(-grow, -grow, grow, grow));
    }
    painter.end();
    return marked;
}
