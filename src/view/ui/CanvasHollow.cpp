#include "view/ui/Canvas.h"

#include <QDebug>
#include <cmath>

#include "imaging/HollowMesh.h"
#include "imaging/QtImage.h"
#include "scene/Scene.h"
#include "slicing/CrossSection.h"

namespace {

// Voxel edge of the hollowed-model stack: coarse, since the surface only has to show
// where the cavity lies and cut it out of the slices.
constexpr double kHollowVoxelUm = 250.0;

} // namespace

struct HollowMeshJob
{
    int objId = 0;
    QString sourceName;
    float wallMm = 0.0f;
    CoarseStack stack;
};

void Canvas::renderSliceHollow(int objId, float wallSize)
{
    const Object *o = m_scene->object(objId);
    if (objId < 1 || !o || !o->mesh || o->type != TypeModel) {
        emit updateLogWindow(tr("Only a model can be hollowed."));
        return;
    }
    const double voxelMm = kHollowVoxelUm / 1000.0;
    const int wallVoxels = int(std::lround(double(wallSize) / voxelMm));
    if (!(wallSize > 0.0f) || wallVoxels < 1) {
        emit updateLogWindow(tr("A hollowing wall must be at least %1 mm.").arg(voxelMm / 2.0));
        return;
    }
    auto job = std::make_shared<HollowMeshJob>();
    job->objId = objId;
    job->sourceName = o->name;
    job->wallMm = wallSize;
    QString why;
    const float topMm = o->bbox.isEmpty() ? o->maxCorner.z() : o->bbox[0];
    if (!sliceCoarseStack(SliceObject::fromObject(*o), sliceParameters(), topMm, kHollowVoxelUm, &job->stack, &why)) {
        emit updateLogWindow(tr("The model could not be hollowed: %1").arg(why));
        return;
    }
    m_hollowJob = job;
    QList<QPixmap> slices;
    for (const cv::Mat &layer : job->stack.layers)
        slices << QPixmap::fromImage(imageFromMat(layer));
    emit signalHollowSlices(slices, wallVoxels, wallVoxels);
}

void Canvas::onHollowingFinished(QList<QPixmap> sliceList)
{
    const std::shared_ptr<HollowMeshJob> job = std::move(m_hollowJob);
    if (!job || sliceList.size() != int(job->stack.layers.size()))
        return;
    Object *source = m_scene->object(job->objId);
    if (!source || source->name != job->sourceName) {
        emit updateLogWindow(tr("The model changed while it was hollowed; nothing was added."));
        return;
    }
    std::vector<cv::Mat> hollowed;
    for (const QPixmap &p : sliceList)
        hollowed.push_back(greyMatFromImage(p.toImage()));
    Mesh surface = voxelSurface(removedPart(job->stack.layers, hollowed), job->stack.grid, true);
    if (surface.indices.empty()) {
        emit signalTimedMessage(tr("%1 has no room for a cavity with a wall of %2 mm.").arg(job->sourceName).arg(job->wallMm),
                                2000);
        return;
    }
    Object hollow;
    hollow.mesh = std::make_shared<Mesh>(std::move(surface));
    hollow.type = TypeHollowedModel;
    hollow.mode = source->mode;
    hollow.parent = job->objId;
    hollow.name = job->sourceName + QStringLiteral(" - hollowMesh");
    hollow.filename = source->filename;
    const int id = m_scene->addStructureObject(hollow);
    // See-through, so the inner surface shows.
    if (Object *model = m_scene->object(job->objId))
        model->opacity = std::min(model->opacity, 0.45f);
    emit updateLogWindow(tr("%1 added (%2 triangles).").arg(hollow.name).arg(m_scene->object(id)->mesh->triangleCount()));
    emit m_scene->modelListChanged();
    update();
}
