#pragma once

#include <QList>
#include <QMatrix4x4>
#include <QMetaType>
#include <QString>
#include <QVector3D>
#include <memory>

#include "scene/Mesh.h"
#include "scene/SupportRecord.h"

class MeshBuffers;   // GPU copy of a mesh; lives in view/, made only where a GL context is current

// Object type codes.
enum ObjectType {
    TypeBuildPlate = 1,
    TypeModel = 2,
    TypeBase = 4,
    TypeSupport = 8,
    TypeSupportLinker = 16,
    TypeDrainHole = 32,
    TypeHollowedModel = 64,
};

// One scene item: a mesh placed in the build volume by its own transform.
// Meshes are shared between duplicates, hence the shared pointers.
struct Object
{
    // Colour code of a 3MF mesh: 1 for "#00FF00", 0 for any other colour.
    struct modelColor
    {
        int code = 0;
        modelColor(int c = 0) : code(c) {}
        operator int() const { return code; }
    };

    std::shared_ptr<Mesh> mesh;
    std::shared_ptr<MeshBuffers> meshBuffers;
    QVector3D center{0, 0, 0};
    QVector3D scale{1, 1, 1};
    QVector3D move{0, 0, 0};
    QVector3D rotation{0, 0, 0};     // degrees about x, y, z
    QVector3D minCorner{0, 0, 0};
    QVector3D maxCorner{0, 0, 0};
    float moveZoff = 0.0f;
    bool isShow = true;
    bool selectable = true;
    bool flip = false;
    QString name;
    QString filename;
    int type = TypeModel;
    int mode = 0;                    // exposure group: 0 normal, 1 second exposure, 2 support
    QList<float> bbox;               // top z, bottom z, min y, max y, min x, max x (world)
    int parent = 0;
    int groupId = -1;
    float opacity = 1.0f;
    // Supports only: the record the mesh is built from. Kept with the object, so copies,
    // undo and removals carry it along and it can never drift from its object.
    spUnit support;
    // Rectangular bases: the size they were made with (x, y and thickness, mm); the mesh
    // reaches further up where its corners rise. The global base keeps its thickness in z.
    QVector3D baseSize{0, 0, 0};
};

// Mesh coordinates -> world (mm):
// T(move) · T(0,0,center.z·scale.z) · Rz · Rx · Ry · S(scale) · M(flip) · T(-center)
QMatrix4x4 objectMatrix(const Object &obj);

Q_DECLARE_METATYPE(Object::modelColor)
Q_DECLARE_METATYPE(QList<Object::modelColor>)
