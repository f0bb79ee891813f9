#pragma once

#include <QString>

class Scene;
struct EnvironmentSettings;

// What the slice command adds to the scene after the supports: a base and support linkers.
struct StructureRequest
{
    enum class Base { None, Rect, Global };
    Base base = Base::None;
    double baseMarginMm = -1;      // below 0: the settings' margin
    double baseThicknessMm = -1;   // below 0: the settings' thickness
    bool linkers = false;
};

// "rect" or "global"; false for anything else.
bool parseBaseKind(const QString &text, StructureRequest::Base *base);

// Adds the requested base and linkers, reporting on standard error. False with *error when a
// base cannot be made (the scene is left as it was).
bool addRequestedStructures(Scene &scene, const StructureRequest &request, const EnvironmentSettings &settings,
                            QString *error);

// The options' lines of the slice command's help.
const char *structureOptionsHelp();
