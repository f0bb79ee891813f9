#include "slicing/LayerStackStage.h"

#include <opencv2/core.hpp>

void LayerStackStage::apply(cv::Mat &image, const Change &change)
{
    if (change.dark.mask.empty() || change.dark.box.empty())
        return;
    image(change.dark.box).setTo(cv::Scalar::all(0), change.dark.mask);
}
