#pragma once

#include <QImage>
#include <QList>
#include <QRect>

#include "config/CalibrationPlan.h"

// The pictures of the exposure calibration package, as the printer is to see them before the
// package flips them top-bottom. Patches are 200 × 200 px on a 240 px pitch, centred on the
// image; text needs a QGuiApplication (fonts).

constexpr int calibrationPatchPx = 200;
constexpr int calibrationPitchPx = 240;

// Square of the patch in row r, column c.
QRect calibrationPatchRect(const CalibrationSettings &s, int row, int column);

// The white base rectangle, C · 240 × R · 240 px centred on the image.
QRect calibrationBaseRect(const CalibrationSettings &s);

// Grey of row r's patches: 255, or trunc(g(r) · 255 / 100) with the grey switch on.
int calibrationPatchGray(const CalibrationSettings &s, int row);

// The exposure a patch receives in total, as its label shows it.
double calibrationPatchExposure(const CalibrationSettings &s, int row, int column);

// The K pattern images of a layer (8-bit grey, W × H). Image 0 lights every patch (with its
// label cut out in black and its line bars); image j is image j − 1 with the patch (or, with
// the grey switch, the column) that has received its time painted over in black.
QList<QImage> calibrationPatternImages(const CalibrationSettings &s);

// 8-bit grey W × H, black with the white base rectangle.
QImage calibrationBaseImage(const CalibrationSettings &s);

// The package preview: `picture` scaled into a 512 × 288 band at y = 112 of a black 512 × 512.
QImage calibrationPreview(const QImage &picture);
