#pragma once

#include <QImage>
#include <QList>
#include <QString>

class Scene;
struct ViewSettings;

// The five package previews (Top, Front, Left, Right, three-quarter) of a scene, drawn
// with the view's renderer in the GL context current on this thread — the headless
// program's, which has no 3D view of its own. Empty, with a reason, when the scene holds
// no model or the renderer cannot start. The scene keeps no GPU copies of its meshes afterwards.
QList<QImage> renderScenePreviews(Scene &scene, const ViewSettings &settings, QString *error = nullptr);
