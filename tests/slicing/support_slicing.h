#pragma once

#include <QVector3D>
#include <memory>
#include <opencv2/core.hpp>

#include "scene/Mesh.h"
#include "slicing/CrossSection.h"
#include "slicing/Slicer.h"

// Closed meshes with outward winding, built in the tests.
std::shared_ptr<Mesh> boxMesh(float sx, float sy, float sz);
std::shared_ptr<Mesh> cylinderMesh(float radius, float height, int segments);
std::shared_ptr<Mesh> torusMesh(float ringRadius, float tubeRadius, int ringSegments, int tubeSegments);
// Right-angled triangle (0,0), (a,0), (0,b) extruded by h: tells mirror images apart.
std::shared_ptr<Mesh> wedgeMesh(float a, float b, float h);
// Box sx × sy whose top rises along x from h0 to h1: a sloped roof.
std::shared_ptr<Mesh> rampMesh(float sx, float sy, float h0, float h1);

// Square pyramid of the given base side, apex above the base centre.
std::shared_ptr<Mesh> pyramidMesh(float side, float height);
std::shared_ptr<Mesh> coneMesh(float radius, float height, int segments);
// Latitude-longitude sphere centred on the origin.
std::shared_ptr<Mesh> sphereMesh(float radius, int stacks, int slices);
// Square tiers of the given sides stacked centred, each tierHeight tall (closed boxes that
// touch, one per tier).
std::shared_ptr<Mesh> steppedBlockMesh(const std::vector<float> &sides, float tierHeight);

// An object as the scene places it: mesh centred on its box, standing on the plate, then moved.
SliceObject placed(const std::shared_ptr<Mesh> &mesh, QVector3D move = {}, QVector3D rotationDeg = {},
                   bool flip = false, int type = 2, int mode = 0);

// Lit pixel at the plate point (x, y) mm of a layer image of the given pixel size.
bool litAt(const cv::Mat &image, float xMm, float yMm, float pixelUm);

// A 640 × 400 px projector of 100 µm pixels: small enough for quick runs.
SliceParameters smallProjector();

// Processes layers until the run stops and returns how it stopped.
Slicer::Step runToEnd(Slicer &s);
