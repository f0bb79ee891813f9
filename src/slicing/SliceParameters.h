#pragma once

#include <QString>

// The projector geometry and scale compensation a slicing run works with. The window and
// the command-line program fill it from the settings; the slicer only reads it.
struct SliceParameters
{
    int projectorWidthPx = 1920;
    int projectorHeightPx = 1080;
    float pixelSizeXUm = 33.0f;
    float pixelSizeYUm = 33.0f;
    float oversizeFactor = 1.5f;    // framebuffer edge / projector width
    double sliceScaleXPct = 0.0;    // compensation, percent
    double sliceScaleYPct = 0.0;
    double sliceScaleZPct = 0.0;

    // Normalised device units per millimetre. The build area (width × pixel size) spans the
    // central 1 / oversizeFactor of the framebuffer, so one framebuffer pixel is one
    // projector pixel in x; y is stretched by yStretch() on top of it.
    float sceneScale() const
    {
        return 2.0f / (float(projectorWidthPx) * pixelSizeXUm / 1000.0f) / oversizeFactor;
    }

    // Framebuffer rows per column width: the scale above is the X scale, so y is stretched by
    // pixel size X / pixel size Y and each axis lands on its own pixel size.
    float yStretch() const { return pixelSizeXUm / pixelSizeYUm; }

    // Cut heights are divided by this, so a positive SliceScaleZ stretches the model in z.
    float zScaleFactor() const { return float(1.0 + sliceScaleZPct / 100.0); }

    // Edge of the square off-screen framebuffer, pixels.
    int framebufferEdge() const { return int(float(projectorWidthPx) * 1.0f * oversizeFactor); }

    // Empty when the values can describe a run; otherwise why not, for the user.
    QString check() const
    {
        if (projectorWidthPx <= 0 || projectorHeightPx <= 0)
            return QString("The projector size %1 × %2 is not valid.").arg(projectorWidthPx).arg(projectorHeightPx);
        if (!(pixelSizeXUm > 0.0f) || !(pixelSizeYUm > 0.0f))
            return QString("The pixel size %1 × %2 µm is not valid.").arg(pixelSizeXUm).arg(pixelSizeYUm);
        if (!(oversizeFactor >= 1.0f))
            return QString("The framebuffer oversize factor %1 is below 1.").arg(oversizeFactor);
        if (!(zScaleFactor() > 0.0f))
            return QString("The Z scale compensation %1 % leaves no height.").arg(sliceScaleZPct);
        if (projectorHeightPx > framebufferEdge())
            return QString("The projector height %1 px exceeds the slicing framebuffer (%2 px); "
                           "projectors taller than 1.5 × their width are not supported.")
                .arg(projectorHeightPx)
                .arg(framebufferEdge());
        return QString();
    }
};
