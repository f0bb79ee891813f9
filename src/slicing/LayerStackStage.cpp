#include "slicing/LayerStackStage.h"

#include <opencv2/core.hpp>

void LayerStackStage::apply(cv::Mat &image, const Change &change)
{
    if (change.dark.mask.empty() || change.dark.box.empty())
        return;
    image(change.dark.box).setTo(cv::Scalar::all(0), change.dark.mask);
}

LayerStackStage::Region LayerStackStage::prepareLit(const LitImage &modelImage) const
{
    if (modelImage.black())
        return Region();
    Region region = prepare(modelImage.pixels);
    if (!region.mask.empty())
        region.box += modelImage.box.tl();
    return region;
}

void LayerStackStage::applyLit(LitImage &image, const Change &change)
{
    if (change.dark.mask.empty() || image.black())
        return;
    const cv::Rect r = change.dark.box & image.box;
    if (r.empty())
        return;
    image.pixels(r - image.box.tl()).setTo(cv::Scalar::all(0), change.dark.mask(r - change.dark.box.tl()));
}
