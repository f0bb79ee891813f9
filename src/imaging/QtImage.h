#pragma once

#include <QImage>
#include <opencv2/core.hpp>

// Copies between Qt images and OpenCV matrices, for the window's single-slice commands and
// for pictures that arrive as QImage. Both directions copy the pixels, so neither side
// keeps a reference to the other's memory.

// 8-bit grey matrix of the image (Qt's grey conversion). A null image gives an empty matrix.
cv::Mat greyMatFromImage(const QImage &image);

// One channel → Format_Grayscale8, three channels (R, G, B order) → Format_RGB888,
// four channels → Format_RGBA8888. Other matrices give a null image.
QImage imageFromMat(const cv::Mat &mat);
