#pragma once

#include <QImage>
#include <QString>

// The slice viewer's rules, free of widgets: which layer a button leads to, how a packed layer
// is shown, how the wheel zooms, and the preview button's cut of the 3D view.

// Layers 1280 pixels wide are packed: three grey pixels in the red, green and blue of one.
constexpr int packedLayerWidthPx = 1280;

// A packed layer as the grey picture three times as wide (grey column 3x, 3x+1, 3x+2 = red,
// green, blue of column x); any other image unchanged.
QImage expandPackedLayer(const QImage &image);

// "3840 x 1080".
QString sliceSizeText(const QImage &image);

// The layer the forward / previous buttons show from `current` of `count` layers; -1 when the
// button does nothing (already at the last / first layer).
int forwardLayer(int current, int count);
int previousLayer(int current);

// Zoom of the picture: 0.5 at start, changed by 1.001 per wheel unit (an eighth of a degree).
// Turning towards the user (negative delta) enlarges while the scale is below 2.5; turning
// away shrinks while it is above 0.3.
constexpr double initialSliceViewScale = 0.5;
double zoomedSliceViewScale(double scale, int wheelDelta);

// The preview button: 0 → 1 → 2 → 0, shown as "S0", "S1", "S2".
int nextPreviewState(int state);
QString previewStateText(int state);

// The preview slider's value (µm) that follows a slicing run at `position` (0..1) of maxZMm.
int previewSliderValueUm(double maxZMm, double position);
