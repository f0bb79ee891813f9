#pragma once

#include <opencv2/core.hpp>

#include <array>

// Layer image operations. Each takes a matrix and returns a new one; none keeps state, so
// they can be tested alone and mapped over the layers of a run in any order.
//
// Inputs may be 8-bit grey, three-channel or four-channel 8-bit images; multi-channel
// matrices are in R, G, B(, A) order (the order of QImage::Format_RGB888), not OpenCV's BGR.
// Unless stated otherwise a result is 8-bit grey of the input's size. An empty input gives
// an empty result.

// The input as 8-bit grey (a copy; grey inputs are cloned).
cv::Mat toGrey(const cv::Mat &in);

// Grows (level > 0) or shrinks (level < 0) the lit area by an elliptical element of
// (2·|level| + 1)² pixels, then, for smoothing > 0, blurs with a (2·smoothing + 1)² Gaussian
// kernel (sigma from the kernel size, mirrored border). Pixels outside the image never win
// the morphology, so masks touching the edge stay put there.
cv::Mat dilateAndSmooth(const cv::Mat &in, int dilationLevel, int smoothingLevel);

// The grey lift table: lut[i] = floor(sqrt(255 · i)). Mid greys rise, so outline pixels cure more.
const std::array<uchar, 256> &contrastCurveTable();

// The lift table applied to every channel. Keeps the channel count (grey stays grey), which
// gives the same pixels as lifting an RGB copy whose three channels are equal.
cv::Mat applyContrastCurve(const cv::Mat &in);

// Three neighbouring grey pixels become one RGB pixel: output (x, y) = source (3x, 3x+1, 3x+2; y)
// as red, green, blue. Width floor(W / 3); the last W mod 3 columns are dropped. Three
// channels in RGB order.
cv::Mat packSubpixelRgb(const cv::Mat &in);

// Gaussian blur with a (2·level + 1)² kernel, sigma from the kernel size, mirrored border.
// A level of 0 or less leaves the grey image as it is.
cv::Mat gaussianSmooth(const cv::Mat &in, int level);

// Pixels farther than widthPx from the mask boundary lose ratioPercent of their value;
// the shell of widthPx pixels along the boundary keeps full intensity.
// Ratio is clamped to 0..100, a negative width counts as 0.
cv::Mat dimInterior(const cv::Mat &in, int widthPx, int ratioPercent);

// Barrel-distortion correction. coeffs[0], coeffs[1]: distortion centre as fractions of the
// width and height; coeffs[2..5]: the user coefficients c0..c3, scaled to
// (k1, k2, p1, p2) = (c0·1e-5, c1·1e-9, c2·1e-4, c3·1e-4) with a focal length of 10 pixels.
// Non-finite coefficients leave the grey image unchanged.
cv::Mat undistortBarrel(const cv::Mat &in, const std::array<double, 6> &coeffs);

// Mirroring and the lit-pixel test of layer images come with the slicer's layer steps.
#include "slicing/LayerImage.h"
