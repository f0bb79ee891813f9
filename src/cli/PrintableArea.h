#pragma once

#include <QString>

class Scene;

// Why the scene's models do not fit on the printable area (projector size × pixel size, centred
// on the plate), one sentence naming each model that leaves it and by how much; empty when
// every model fits.
QString modelsOutsidePrintableArea(const Scene &scene);
