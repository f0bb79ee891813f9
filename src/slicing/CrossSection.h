#pragma once

#include <QMatrix4x4>
#include <QString>
#include <functional>
#include <memory>
#include <opencv2/core.hpp>
#include <vector>

#include "scene/Mesh.h"
#include "slicing/LitImage.h"
#include "slicing/SliceParameters.h"

class Scene;
struct Object;

// What the slicer needs of one scene object: a light copy taken when a run starts, so the
// cross-section pass does not depend on the scene class.
struct SliceObject
{
    std::shared_ptr<const Mesh> mesh;
    QMatrix4x4 matrix;          // mesh → world millimetres (objectMatrix)
    int type = 2;               // ObjectType code
    int mode = 0;               // exposure group: 1 = second exposure
    bool isShow = true;
    bool flip = false;          // mirrored: drawn with the reversed winding
    // Supports only: whether the object owning this support's record is a model. With the
    // contact-only support view only such supports are sliced, and only their contact part.
    bool supportOfModel = true;

    static SliceObject fromObject(const Object &obj);
};

// The objects after the build plate, in scene order.
std::vector<SliceObject> sliceObjectsOf(const Scene &scene);
// True when some object belongs to the second exposure group (mode 1).
bool hasSecondExposure(const std::vector<SliceObject> &objects);

// The switches that decide which objects a render draws.
struct RenderFlags
{
    bool readBack = true;                 // false: the live view of the cut (texture only)
    bool splitSupportExposure = false;    // mode 0 draws models only, mode 2 everything else
    bool fullSupportView = true;          // false: supports as contact parts, no bases
};

// Indices of a support's contact part (the first ones of its mesh).
constexpr int supportContactIndexCount = 864;

// Whether an object is drawn in render mode m (0, 1 or 2).
bool isDrawnInMode(const SliceObject &obj, int mode, const RenderFlags &flags);
// How many indices of the object's mesh are drawn (0: not at all).
std::size_t drawnIndexCount(const SliceObject &obj, const RenderFlags &flags);
// Whether the object is counted with its reversed winding: a mirrored object keeps its outward
// faces that way, and a drain hole is turned inside out, so its volume is taken away from the
// solids it cuts instead of being added to them.
bool drawnReversed(const SliceObject &obj);

// Smallest and largest sampled cosine of the surfaces crossing a cut; (0, 0) when none.
struct NormalRange
{
    float smallest = 0.0f;
    float largest = 0.0f;
    int count = 0;
};
// How flat the flattest sampled surface is (|cosine| to the vertical), for the variable steps.
inline float flatnessOf(const NormalRange &r)
{
    return std::max(std::abs(r.smallest), std::abs(r.largest));
}

// Renders layer images of a set of objects. The GPU stencil pass is one implementation;
// others may stand beside it. All calls happen on the thread that owns the GL context,
// with that context current.
class CrossSectionRenderer
{
public:
    virtual ~CrossSectionRenderer() = default;

    // Sets the projector geometry. False with *error when images of that size cannot be made
    // here (framebuffer limits of the graphics driver); nothing is rendered then.
    virtual bool configure(const SliceParameters &params, QString *error) = 0;
    virtual const SliceParameters &parameters() const = 0;

    // The cross-section at cutZ (normalised units, as the schedule gives it) of the objects
    // drawn in render mode `mode`: 8-bit grey, projector size, white where solid, first row =
    // smallest y. Without flags.readBack only the mode's texture is updated and *image is left
    // empty. False with *error on a GL failure.
    virtual bool render(const std::vector<SliceObject> &objects, float cutZ, int mode, const RenderFlags &flags,
                        cv::Mat *image, QString *error) = 0;

    // Outline of the visible models at heightMm: six floats (x, y, z of two points, mm, after the
    // X/Y compensation) per segment, at most maxOutlineSegments segments.
    virtual std::vector<float> outline(const std::vector<SliceObject> &objects, float heightMm) = 0;

    // Cosines to straight down of the visible non-plate surfaces crossing cutZ that are within
    // 70° of horizontal (at most 100000 samples).
    virtual NormalRange sampleNormals(const std::vector<SliceObject> &objects, float cutZ) = 0;

    // A run has ended: frees what only a run needs (the framebuffer, buffers).
    virtual void endRun() {}

    // Work a run may hand to worker threads. The call takes the cut's geometry now, on the
    // renderer's thread and in call order (as render() would); the returned function does the
    // rest and may be called later, once, on any thread. Empty when this renderer cannot.
    virtual std::function<cv::Mat()> renderLater(const std::vector<SliceObject> &objects, float cutZ, int mode,
                                                 const RenderFlags &flags)
    {
        (void)objects, (void)cutZ, (void)mode, (void)flags;
        return {};
    }
    // renderLater() giving the image as its lit box (the same pixels), filled box only.
    virtual std::function<LitImage()> renderLitLater(const std::vector<SliceObject> &objects, float cutZ, int mode,
                                                     const RenderFlags &flags)
    {
        (void)objects, (void)cutZ, (void)mode, (void)flags;
        return {};
    }
    // Whether outlineLater() works; a run moves post-processing off its thread only then,
    // because the outline step asks for the outline there.
    virtual bool hasOutlineLater() const { return false; }
    virtual std::function<std::vector<float>()> outlineLater(const std::vector<SliceObject> &objects, float heightMm)
    {
        (void)objects, (void)heightMm;
        return {};
    }

    // The colour texture of render mode m for showing the cut in the 3D view (0: none; renderers
    // that work without GL have none).
    virtual unsigned int textureId(int mode) const
    {
        (void)mode;
        return 0;
    }
    // Drops what the renderer keeps on the graphics card; the GL context must be current.
    virtual void releaseGpuResources() {}

    // Time spent so far in render(): drawing and reading the image back, ms.
    struct Timings
    {
        double drawMs = 0.0;
        double readBackMs = 0.0;
    };
    virtual Timings timings() const { return {}; }
};

constexpr std::size_t maxOutlineSegments = 600000;
constexpr std::size_t maxNormalSamples = 100000;
