#include "imaging/QtImage.h"

cv::Mat greyMatFromImage(const QImage &image)
{
    if (image.isNull())
        return cv::Mat();
    const QImage grey = image.format() == QImage::Format_Grayscale8
                            ? image
                            : image.convertToFormat(QImage::Format_Grayscale8);
    const cv::Mat view(grey.height(), grey.width(), CV_8UC1, const_cast<uchar *>(grey.constBits()),
                       static_cast<size_t>(grey.bytesPerLine()));
    return view.clone();
}

QImage imageFromMat(const cv::Mat &mat)
{
    if (mat.empty() || mat.depth() != CV_8U)
        return QImage();
    QImage::Format format;
    switch (mat.channels()) {
    case 1: format = QImage::Format_Grayscale8; break;
    case 3: format = QImage::Format_RGB888; break;
    case 4: format = QImage::Format_RGBA8888; break;
    default: return QImage();
    }
    const QImage view(mat.data, mat.cols, mat.rows, static_cast<int>(mat.step), format);
    return view.copy();
}
