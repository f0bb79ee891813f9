#pragma once

#include <QMetaType>
#include <QVector>
#include <QVector3D>

// One support: a polyline from the contact point on the model (first) down to the foot
// (last), one radius per point. Points are in the frame of the support's scene object:
// the world position is the point plus that object's move, so a support follows its
// model when the model moves. The record is the support's source of truth; its mesh is
// rebuilt from it whenever it changes.
struct spUnit
{
    QVector<QVector3D> points;   // mm
    QVector<float> radii;        // mm, one per point
    int tipObjectId = 0;         // object the first point touches
    int footObjectId = 0;        // object the last point stands on (0: the build plate)
    int parentId = 0;            // model that owns the support
    bool preview = false;        // the live preview support under the mouse
    bool thinTip = false;        // built with the thin-tip neck

    bool isEmpty() const { return points.isEmpty(); }
};

Q_DECLARE_METATYPE(spUnit)
