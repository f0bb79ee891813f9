#include "config/CalibrationImages.h"

#include <QFont>
#include <QPainter>

namespace {

constexpr int halfPatchPx = calibrationPatchPx / 2;

// The bar picture of a patch's lower half: the patch grey with black bars of 2 … 64 px.
QImage linePatternPicture(int gray)
{
    QImage picture(calibrationPatchPx, halfPatchPx, QImage::Format_RGB32);
    picture.fill(qRgb(gray, gray, gray));
    QPainter p(&picture);
    int x = 10;
    for (int width = 2; width <= 64; width *= 2) {
        p.fillRect(QRect(x, 10, width, 80), Qt::black);
        x += width + 10;
    }
    return picture;
}

} // namespace

QRect calibrationPatchRect(const CalibrationSettings &s, int row, int column)
{
    const int x = int((column - (s.columns - 1) * 0.5) * calibrationPitchPx - halfPatchPx + s.widthPx / 2.0);
    const int y = int((row - (s.rows - 1) * 0.5) * calibrationPitchPx - halfPatchPx + s.heightPx / 2.0);
    return QRect(x, y, calibrationPatchPx, calibrationPatchPx);
}

QRect calibrationBaseRect(const CalibrationSettings &s)
{
    const int w = s.columns * calibrationPitchPx;
    const int h = s.rows * calibrationPitchPx;
    return QRect((s.widthPx - w) / 2, (s.heightPx - h) / 2, w, h);
}

int calibrationPatchGray(const CalibrationSettings &s, int row)
{
    if (!s.grayscale)
        return 255;
    const double percent = qBound(0.0, s.grayPercent.value(row, 100.0), 100.0);
    return int(percent * 255 / 100);
}

double calibrationPatchExposure(const CalibrationSettings &s, int row, int column)
{
    const QList<double> e = calibrationExposures(s);
    return s.grayscale ? e.value(column) : e.value(row * s.columns + column);
}

QList<QImage> calibrationPatternImages(const CalibrationSettings &s)
{
    // Painted in colour (Qt paints on grey images through a conversion), stored as grey.
    QImage image(s.widthPx, s.heightPx, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter p(&image);
        p.setPen(Qt::NoPen);
        QFont font;
        font.setPointSize(50);
        font.setWeight(63);
        for (int r = 0; r < s.rows; ++r) {
            const int gray = calibrationPatchGray(s, r);
            const QImage bars = s.linePatterns ? linePatternPicture(gray) : QImage();
            for (int c = 0; c < s.columns; ++c) {
                const QRect square = calibrationPatchRect(s, r, c);
                p.fillRect(square, QColor(gray, gray, gray));
                if (s.labels) {
                    p.save();
                    p.setPen(QPen(Qt::black, 16));
                    p.setFont(font);
                    const QRect upper(square.topLeft(), QSize(calibrationPatchPx, halfPatchPx));
                    p.drawText(upper, Qt::AlignCenter,
                               QString::asprintf("%.1f", calibrationPatchExposure(s, r, c)));
                    p.restore();
                }
                if (s.linePatterns)
                    p.drawImage(square.topLeft() + QPoint(0, halfPatchPx), bars);
            }
        }
    }
    const std::vector<int> order = calibrationLightOrder(s);
    QList<QImage> out;
    out << image.convertToFormat(QImage::Format_Grayscale8);
    for (std::size_t j = 1; j < order.size(); ++j) {
        QPainter p(&image);
        const int item = order[j - 1];
        if (s.grayscale) {
            for (int r = 0; r < s.rows; ++r)
                p.fillRect(calibrationPatchRect(s, r, item), Qt::black);
        } else {
            p.fillRect(calibrationPatchRect(s, item / s.columns, item % s.columns), Qt::black);
        }
        p.end();
        out << image.convertToFormat(QImage::Format_Grayscale8);
    }
    return out;
}

QImage calibrationBaseImage(const CalibrationSettings &s)
{
    QImage image(s.widthPx, s.heightPx, QImage::Format_Grayscale8);
    image.fill(0);
    QPainter p(&image);
    p.fillRect(calibrationBaseRect(s), Qt::white);
    return image;
}

QImage calibrationPreview(const QImage &picture)
{
    QImage preview(512, 512, QImage::Format_RGB32);
    preview.fill(Qt::black);
    if (picture.isNull())
        return preview;
    QPainter p(&preview);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(0, 112, 512, 288), picture.scaledToWidth(512, Qt::SmoothTransformation));
    return preview;
}
