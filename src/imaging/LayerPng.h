#pragma once

#include <QString>
#include <opencv2/core.hpp>

#include <vector>

#include "slicing/LitImage.h"

// PNG encoding of layer images: the store step of the slicer uses these, because they are
// several times faster than Qt's PNG writer and keep a 1920 × 1080 layer well inside the
// per-layer budget. Layer masks are mostly long runs of one value, which the run-length
// strategy at the fastest level compresses about as well as the default settings.
//
// Accepted images: 8-bit grey, or 8-bit three-channel in R, G, B order (written as an RGB PNG).

// The encoded file, or an empty vector when the image is empty or of an unsupported type.
std::vector<uchar> encodeLayerPng(const cv::Mat &image);

// The same file for an image kept as its lit box: rows outside the box and the columns beside
// it cost next to nothing, so the time follows the box, not the panel. Decodes to the same
// pixels as encodeLayerPng(image.full()).
std::vector<uchar> encodeLitLayerPng(const LitImage &image);

// Encodes and writes the image to path. On failure returns false and, when error is given,
// sets a sentence naming the file and the reason.
bool writeLayerPng(const cv::Mat &image, const QString &path, QString *error = nullptr);
