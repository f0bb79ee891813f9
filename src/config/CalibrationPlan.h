#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <vector>

// The exposure calibration print: a grid of square patches, rows × columns, each cured for a
// different time (or, with the grey switch, each row at its own grey level). A layer is
// exposed as a run of images that light fewer and fewer patches, so each patch receives the
// sum of the exposures of the images it is lit in. Everything here is a pure function of the
// dialog's fields, shared by the dialog, the window and orvell3d-cli.

enum class CalibrationFill { Linear, Exponential };

struct CalibrationSettings
{
    static constexpr int maxRows = 4;
    static constexpr int maxColumns = 8;

    CalibrationFill fill = CalibrationFill::Linear;
    double initialExposureS = 5.0;    // e0
    double incrementS = 2.0;          // d, linear fill
    double factor = 1.5;              // f, exponential fill
    int rows = 1;                     // R, 1 … 4
    int columns = 4;                  // C, 1 … 8
    // R · C exposures read row by row; empty means "the formula in every row".
    QList<double> exposuresS;
    bool grayscale = false;           // one grey level per row, all rows exposed alike
    QList<double> grayPercent;        // per row, 100 = full white; missing rows are white
    bool labels = true;               // the exposure time written on each patch
    bool linePatterns = true;         // bars of 2 … 64 px in each patch's lower half
    int widthPx = 1920;               // projector W × H
    int heightPx = 1080;
    double pixelSizeUm = 33.5;        // only the text files use it
    int thicknessUm = 50;             // t
    int normalLayers = 20;            // Ln
    int baseLayers = 5;               // Lb
    int baseExposureS = 30;           // eb, whole seconds

    // A sentence naming the first field out of range, empty when all are usable.
    QString check() const;
};

// One table row from the formula: e0 + c · d, or e0 · f^c, for c = 0 … columns − 1.
QList<double> calibrationRow(CalibrationFill fill, double initialS, double stepOrFactor, int columns);

// The exposure list E (R · C values, row by row): the settings' own table when it has R · C
// entries, otherwise the formula row, rounded to 0.1 s as the dialog's table shows it,
// repeated in every row.
QList<double> calibrationExposures(const CalibrationSettings &s);

// Images per normal layer K: the columns with the grey switch on, else every patch.
int calibrationImagesPerLayer(const CalibrationSettings &s);

// Total images N = K · Ln + Lb.
int calibrationImageCount(const CalibrationSettings &s);

// The order in which the exposure runs of a layer finish: image j (j ≥ 1) of a layer no longer
// lights item order[j − 1] (a patch, or a column with the grey switch on). Items are sorted by
// their exposure (ties keep table order), so a table that grows along its rows gives 0, 1, 2, …
// and every later image has a positive or zero extra exposure; a table that does not grow
// (several rows without the grey switch, or a row edited by hand) still gives each patch
// exactly its own time instead of negative image exposures.
std::vector<int> calibrationLightOrder(const CalibrationSettings &s);

// One image of the package in file order.
struct CalibrationImage
{
    double zMm = 0;
    double exposureS = 0;
    double lift = 4.0;     // 4.0 after a layer's last image, 0.0 when another image of it follows
    int pattern = -1;      // pattern image 0 … K − 1, or -1 for the base image
};

// Base images first (each its own layer, exposure eb), then Ln layers of K images each. Z starts
// at 0 and grows by t / 1000 mm at every image that starts a layer, except the first image.
std::vector<CalibrationImage> calibrationSchedule(const CalibrationSettings &s);

// buildscript.ini of the calibration package ("\r\n" line ends): the machine index, thickness,
// image count, the last exposure of the table, "-1" override slices and the base exposure, then
// "%.4f, S%06d_P1, %.1f, %.1f" per image.
QByteArray calibrationBuildscriptText(const CalibrationSettings &s, int machineIndex);
