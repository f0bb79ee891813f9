#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>
#include <vector>

// The slice viewer's island marks, free of widgets: where a run's islands lie in the layer
// pictures it shows, and the layer the "next island" button leads to.

// The picture (image) index of each layer's first image: a layer split for the support exposure
// has two images (codes 2 and 3), every other layer one.
std::vector<int> firstImageOfLayers(const QList<int> &layerCodes);

// The first image index in `islandImages` (ascending) after `current`, or the first one again
// after the last; -1 when there is none.
int nextIslandImage(const std::vector<int> &islandImages, int current);

// A box of the rendered layer where the stored picture is mirrored left-right and/or top-bottom.
QRect mirroredBox(const QRect &box, const QSize &picture, bool horizontal, bool vertical);

// The picture with a red frame around each box, kept a few pixels clear of the island and
// thick enough to see when a large panel is shown small.
QImage drawIslandMarks(const QImage &picture, const std::vector<QRect> &boxes);
