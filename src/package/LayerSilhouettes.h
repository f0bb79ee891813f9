#pragma once

#include <QImage>
#include <QList>
#include <opencv2/core.hpp>

// Preview pictures built from the layers themselves, for packages made without a 3D view
// (orvell3d-cli): the lit area seen from the top, the front, the left and the right.
// Each layer adds one row to the side views, so only the run's layers are needed, one at a
// time, and nothing is kept but four small accumulators.
class LayerSilhouettes
{
public:
    // A layer as rendered (before mirroring or packing): 8-bit grey or colour, row 0 at the
    // plate's front edge. Layers of another size than the first are ignored.
    void addLayer(const cv::Mat &layer);

    int layerCount() const { return m_rows; }

    // Top, Front, Left and Right, in the package's preview order, each fitted into
    // maxEdge × maxEdge pixels. heightMm and the pixel sizes give the side views their
    // proportions. Empty when no layer was added.
    QList<QImage> previews(double heightMm, double pixelSizeXUm, double pixelSizeYUm, int maxEdge = 400) const;

private:
    cv::Mat m_top;     // running maximum of the layers
    cv::Mat m_front;   // one row per layer: the maximum over each column
    cv::Mat m_side;    // one row per layer: the maximum over each row
    int m_rows = 0;
};
