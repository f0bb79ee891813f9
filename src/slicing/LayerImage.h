#pragma once

#include <QString>
#include <opencv2/core.hpp>
#include <vector>

// Small steps of the per-layer chain that work on layer images alone. Layer images are
// 8-bit: one channel (grey, white cures) or three channels in R, G, B order.

// The layer of a scene with a second exposure group: red 0, green = the second group's
// cross-section, blue = the first group's.
cv::Mat mergeSecondExposure(const cv::Mat &firstGroup, const cv::Mat &secondGroup);

// Codes of a layer: 0 one image; 1 one image with no model in it; 2 (and 3 for its
// second image) a layer split for the additional support exposure.
enum LayerCodeValue { LayerSingle = 0, LayerNoModel = 1, LayerSplitFirst = 2, LayerSplitSecond = 3 };

struct SupportSplit
{
    int code = LayerSingle;
    std::vector<cv::Mat> images;   // one, or two for code 2
};

// Classifies a layer rendered as models only and as everything else:
// - nothing but models lit: code 0, the models image;
// - no model lit: code 1, the other image;
// - both lit but not overlapping: code 0, their union;
// - overlapping: code 2, the union first and the support cross-section second (the package
//   gives the second image the additional support exposure).
SupportSplit splitSupportExposure(const cv::Mat &models, const cv::Mat &supports);

// Left-right and/or top-bottom mirror; both turn the image by 180°.
cv::Mat mirrorLayer(const cv::Mat &image, bool horizontal, bool vertical);

bool hasLitPixel(const cv::Mat &image);

// "S%06d_P1.png" with the 1-based image number.
QString layerFileName(int number);

// PNG bytes of a grey or RGB layer image; empty for other image types.
std::vector<unsigned char> encodeLayerImage(const cv::Mat &image);

// Writes encoded bytes to path. On failure no partial file is left behind and *error names
// the file and the reason.
bool writeLayerBytes(const std::vector<unsigned char> &bytes, const QString &path, QString *error);

// Encodes and writes a layer image. On failure no partial file is left behind and
// *error names the file and the reason.
bool writeLayerImage(const cv::Mat &image, const QString &path, QString *error);

// Where a run's layer files go: the data folder's "temp" for a run without a package file;
// for a package run its folder, or a folder named after the package when the slice folder
// is kept. The folder is created; empty with *error when that fails.
QString sliceOutputFolder(const QString &packageFileName, bool keepSliceFolder, QString *error);
