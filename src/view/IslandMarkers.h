#pragma once

#include <vector>

class Camera;
class SceneRenderer;
struct ViewSettings;

// The 3D view's marks of a run's islands: a red three-armed cross in a diamond at each island's centroid
// and height, drawn over the models (islands lie inside them, where they would be hidden).
// `pointsMm` holds x, y, z in millimetres per island. Uses the renderer's line program in the
// current context.
void drawIslandMarkers(SceneRenderer &renderer, const Camera &camera, const ViewSettings &settings,
                       const std::vector<float> &pointsMm);

// The line segments of the marks (x, y, z of both ends, mm): three arms of armMm each way and
// the octahedron over their tips.
std::vector<float> islandMarkerLines(const std::vector<float> &pointsMm, float armMm);
