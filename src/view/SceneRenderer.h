#pragma once

#include <vector>

#include <QList>
#include <QSize>
#include <QString>
#include <QVector3D>
#include <QVector>
#include <map>
#include <memory>
#include <unordered_map>

#include "slicing/GlProgram.h"

struct Mesh;
struct Object;
class Camera;
class MeshBuffers;
class Scene;

// The printer geometry and display options the view draws with.
struct ViewSettings
{
    int projectorWidthPx = 1920;
    int projectorHeightPx = 1080;
    float pixelSizeXUm = 50.0f;
    float pixelSizeYUm = 50.0f;
    float buildHeightMm = 130.0f;
    bool showPlatform = true;

    float plateWidthMm() const { return projectorWidthPx * pixelSizeXUm / 1000.0f; }
    float plateHeightMm() const { return projectorHeightPx * pixelSizeYUm / 1000.0f; }
    float sceneScale() const;   // mm -> scene units
};

// What one frame shows. Objects are addressed by id (index); entry 0 is the build plate.
struct FrameState
{
    QVector<const Object *> objects;
    QList<int> selection;
    bool outOfBuild = false;
    bool slicing = false;               // a slicing run owns the frame: the scene is not drawn

    // Overhang colouring of models while supports are edited by hand (cosines).
    int supportMode = 0;
    bool fullSupportView = true;        // false: supports as their contact parts only
    // Overhanging facets as line segments (x, y, z of both ends, mm); not owned.
    const std::vector<float> *overhangLines = nullptr;
    float overhangCos = 1.1f;
    float criticalCos = 1.1f;

    // Slice view: models cut at clipZmm (keeping what lies below, or above with
    // clipKeepsAbove); the cut outline at the same height.
    bool clip = false;
    bool clipKeepsAbove = false;
    float clipZmm = 0.0f;
    bool waterline = false;
    float waterlineZmm = 0.0f;

    bool showBounds = false;            // wire boxes around the selected objects
    bool flexBand = false;              // translucent band of the flex-slice range
    float flexFromMm = 0.0f;
    float flexToMm = 0.0f;

    bool background = true;             // false: transparent (preview pictures)
    const std::vector<float> *islandMarkers = nullptr;   // x, y, z (mm) of islands to mark; not owned

    // The scene's objects in id order.
    static QVector<const Object *> objectsOf(const Scene &scene);
};

// The plane of a cut at heightView (view units, at least 0.000001 so a cut at the plate still
// shows its first layer): keeps what lies below it, or above it with keepAbove.
QVector4D sliceClipPlane(bool keepAbove, float heightView);

// Draws the view: background, build plate, build volume, objects with overhang colours,
// markers and the switched-on extras. Owns the view's shader programs, the GPU copies of
// the meshes and one stream buffer for small geometry. Works in whatever context is
// current (the window's GL widget or a headless one) and into whatever framebuffer is
// bound, so previews and tests use it unchanged.
class SceneRenderer
{
public:
    SceneRenderer();
    ~SceneRenderer();   // the context must be current (or already gone: see contextLost)
    SceneRenderer(const SceneRenderer &) = delete;
    SceneRenderer &operator=(const SceneRenderer &) = delete;

    // Compiles the programs and makes the buffers; the context must be current.
    // False with *error listing every failed program.
    bool initialize(QString *error);
    bool isInitialized() const { return m_initialized; }
    // The context went away without warning: forget every GL name without deleting it.
    void contextLost();

    // "OpenGL version: 4.5"
    QString versionText() const;

    void render(const Camera &camera, const ViewSettings &settings, const FrameState &frame,
                const QSize &framebufferPx);

    // Shows a slice texture flat at the cut height (textureId: 0 blue, 1 green, 2 amber).
    // yExtent: the texture's half height in normalised units (rows of non-square pixels are
    // stretched in the texture, so it covers less than the unit square).
    void drawSliceTexture(const Camera &camera, unsigned texture, int textureId, float cutZmm, float yExtent = 1.0f);

    // The GPU copy of an object's mesh, made or refreshed on demand (shared between
    // objects that share the mesh). nullptr for objects without a mesh.
    MeshBuffers *buffersFor(const Object &obj);

    // A compiled program of the set, or nullptr.
    GlProgram *program(const char *name);
    // The ray-pick program, linked with its feedback varying on first use.
    GlProgram *intersectionProgram(QString *error);

    unsigned contextGeneration() const { return m_generation; }
    unsigned vertexArray() const { return m_vao; }

    // Model matrix of an object in scene units (the build plate is drawn untransformed).
    static QMatrix4x4 sceneMatrix(const Object &obj, int id, float sceneScale);

    // Diffuse colour of an object by kind, exposure group and selection.
    static QVector3D objectColor(const Object &obj, bool selected);

private:
    void drawObjects(const Camera &camera, const ViewSettings &settings, const FrameState &frame, bool translucent);
    void drawBuildPlate(const Camera &camera, const ViewSettings &settings, const FrameState &frame);
    void drawGrid(const Camera &camera, const ViewSettings &settings, const FrameState &frame);
    void drawVolumeBox(const Camera &camera, const ViewSettings &settings);
    void drawMarkers(const Camera &camera, const ViewSettings &settings);
    void drawBounds(const Camera &camera, const ViewSettings &settings, const FrameState &frame);
    void drawOverhangLines(const Camera &camera, const ViewSettings &settings, const std::vector<float> &lines);
    void drawWaterline(const Camera &camera, const ViewSettings &settings, const FrameState &frame);
    void drawFlexBand(const Camera &camera, const ViewSettings &settings, const FrameState &frame);
    // Streams small geometry (components floats per vertex) and draws it.
    void drawStream(GlProgram *prog, unsigned mode, const float *data, int components, int count);
    void setMeshUniforms(const Camera &camera, const FrameState &frame, float sceneScale);

    std::map<QString, std::unique_ptr<GlProgram>> m_programs;
    std::unique_ptr<GlProgram> m_intersection;
    std::unordered_map<const Mesh *, std::weak_ptr<MeshBuffers>> m_bufferCache;
    unsigned m_vao = 0;
    unsigned m_stream = 0;
    unsigned m_generation = 0;
    bool m_initialized = false;
    int m_glMajor = 0;
    int m_glMinor = 0;
};
