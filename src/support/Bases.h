#pragma once

#include <QList>
#include <QPolygonF>
#include <QString>
#include <QVector3D>
#include <opencv2/core.hpp>

class Scene;

// Bases: a rectangular base under each selected model, the one global base that follows the
// outline of all models, and the ring base that hugs a model's outline at a chosen height.
// Every base is a scene object of the base type built from closed pieces. Each operation
// either makes its base or leaves the scene unchanged and says why in *error.
class Bases
{
public:
    explicit Bases(Scene *scene) : m_scene(scene) {}

    // Under each selected model (the current object when nothing is selected): a base of
    // the model's extent plus twice the margin, thickness t, centred under it, named
    // "RectBase", child of the model. baseShape 2 is the only shape. Returns how many were
    // made; 0 with *error when none (no model, margin or thickness not above 0, a base
    // larger than the build plate).
    int addRectBase(float margin, float t, int baseShape = 2, QString *error = nullptr);
    // A rectangular base of sz.x × sz.y × sz.z at the origin (scene files). Its id, or -1.
    int addRectBase(QVector3D sz);

    // Replaces the global base with a new one for all models: their footprint widened by
    // margin + 2 mm, its outline inset by 0.701 mm, t mm thick. The margin and thickness are
    // remembered for restoreGlobalBase(). Returns the object's id, or -1 with *error.
    int addGlobalBase(float margin, float t, QString *error = nullptr);
    // Makes the global base again with the margin and thickness it last had.
    int restoreGlobalBase(QString *error = nullptr);
    bool hasGlobalBase() const;
    float globalMarginMm() const { return m_globalMarginMm; }
    float globalThicknessMm() const { return m_globalThicknessMm; }

    // Removes every base after the build plate except ring bases; logs
    // "All bases have been deleted.". Returns how many went.
    int deleteBases();

    // The ring base of the selected model under its cross-section at zHeight, from the
    // section's outlines (mm) found by the caller. Exactly one outline is needed, else
    // *error is "Multiple cross-section detected.\n          Ring base creation aborted.".
    // Returns the object's id, or -1.
    int createRingBase(const QList<QPolygonF> &sectionOutlines, float zHeight, QString *error = nullptr);

private:
    Scene *m_scene;
    float m_globalMarginMm = 1.0f;
    float m_globalThicknessMm = 0.6f;
};

// The plate area covered by the models (only the selected ones with selectionOnly) seen from
// above, as an 8-bit image (255 covered) of pixelMm pixels whose pixel (i, j) spans
// x ∈ origin.x + [i, i + 1)·pixelMm, y ∈ origin.y + [j, j + 1)·pixelMm. `borderPx` empty
// pixels surround the covered area. Empty when no model is there.
struct Footprint
{
    cv::Mat image;
    QPointF originMm;
    double pixelMm = 0.05;
};
Footprint findBaseContour(const Scene &scene, bool selectionOnly, double pixelMm, int borderPx);

// The outer outlines (mm, counter-clockwise) of the footprint widened by widenMm: a disc
// dilation of the image, outer contours with the Teh-Chin (k-cosine) approximation.
QList<QPolygonF> widenedFootprintOutlines(const Footprint &footprint, double widenMm);
