#include "package/SliceViewer.h"

#include <algorithm>
#include <cmath>

QImage expandPackedLayer(const QImage &image)
{
    if (image.isNull() || image.width() != packedLayerWidthPx)
        return image;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QImage grey(rgb.width() * 3, rgb.height(), QImage::Format_Grayscale8);
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar *in = rgb.constScanLine(y);
        uchar *out = grey.scanLine(y);
        // RGB888 holds red, green, blue in that byte order: exactly the grey columns' order.
        std::copy(in, in + 3 * rgb.width(), out);
    }
    return grey;
}

QString sliceSizeText(const QImage &image)
{
    return QString::number(image.width()) + " x " + QString::number(image.height());
}

int forwardLayer(int current, int count)
{
    return current + 1 < count ? current + 1 : -1;
}

int previousLayer(int current)
{
    return current > 0 ? current - 1 : -1;
}

double zoomedSliceViewScale(double scale, int wheelDelta)
{
    if (wheelDelta < 0 && scale < 2.5)
        return scale * std::pow(1.001, -wheelDelta);
    if (wheelDelta > 0 && scale > 0.3)
        return scale / std::pow(1.001, wheelDelta);
    return scale;
}

int nextPreviewState(int state)
{
    return (state + 1) % 3;
}

QString previewStateText(int state)
{
    return QStringLiteral("S%1").arg(state);
}

int previewSliderValueUm(double maxZMm, double position)
{
    return int(maxZMm * position * 1000.0 + 0.00001);
}
