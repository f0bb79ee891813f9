#include "slicing/LayerStackStage.h"

#include <opencv2/core.hpp>

cv::Mat LayerStackStage::apply(const cv::Mat &image, const Change &change)
{
    if (change.dark.mask.empty() || change.dark.box.empty())
        return image;
    cv::Mat out = image.clone();
    out(change.dark.box).setTo(cv::Scalar::all(0), change.dark.mask);
    return out;
}
