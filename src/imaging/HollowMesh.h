#pragma once

#include <QString>
#include <opencv2/core.hpp>
#include <vector>

#include "scene/Mesh.h"
#include "slicing/CrossSection.h"
#include "slicing/SliceParameters.h"

// The hollowed-model mesh: an object cut into a coarse stack of layers, hollowed, and the
// cavity's surface rebuilt as triangles.

// Where the voxels of a stack lie: pixel (col, row) of layer k is the box
// [x0 + col·dx, x0 + (col+1)·dx] × [y0 + row·dy, …] × [z0 + k·dz, z0 + (k+1)·dz], mm.
struct VoxelGrid
{
    double x0Mm = 0.0, y0Mm = 0.0, z0Mm = 0.0;
    double dxMm = 0.25, dyMm = 0.25, dzMm = 0.25;
};

struct CoarseStack
{
    std::vector<cv::Mat> layers;   // 8-bit, 255 lit
    VoxelGrid grid;
};

// Cuts one object alone into layers of voxelUm pixels and voxelUm thickness, over the plate
// the given projector covers, from the plate up to topMm.
bool sliceCoarseStack(const SliceObject &object, const SliceParameters &plate, float topMm, double voxelUm,
                      CoarseStack *out, QString *error);

// The closed surface around the lit voxels of a stack, each boundary face of a voxel two
// triangles, corners shared. Outward winding, or inward (the surface of a cavity seen from
// the material around it, which slicing then leaves dark).
Mesh voxelSurface(const std::vector<cv::Mat> &masks, const VoxelGrid &grid, bool facingInward);

// Per layer: what hollowing took away (input lit, hollowed dark).
std::vector<cv::Mat> removedPart(const std::vector<cv::Mat> &input, const std::vector<cv::Mat> &hollowed);

// The whole variant without a window: the cavity surface (inward) of an object hollowed with
// a wall of wallMm, from a stack of voxelUm. An empty mesh when the object has no room for a
// cavity.
bool hollowMeshOf(const SliceObject &object, const SliceParameters &plate, float topMm, double wallMm,
                  double voxelUm, Mesh *out, QString *error);
