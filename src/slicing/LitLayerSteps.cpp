#include "slicing/LitLayerSteps.h"

#include <opencv2/imgproc.hpp>

namespace {

cv::Mat greyOf(const cv::Mat &image)
{
    if (image.channels() == 1)
        return image;
    cv::Mat grey;
    cv::cvtColor(image, grey, cv::COLOR_RGB2GRAY);
    return grey;
}

// The union of two boxes; an empty box adds nothing.
cv::Rect unite(const cv::Rect &a, const cv::Rect &b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return a | b;
}

} // namespace

bool hasLitPixel(const LitImage &image)
{
    return !image.black() && !image.pixels.empty() && cv::countNonZero(greyOf(image.pixels)) > 0;
}

LitImage mergeSecondExposure(const LitImage &firstGroup, const LitImage &secondGroup)
{
    CV_Assert(firstGroup.type == CV_8UC1 && secondGroup.type == CV_8UC1 && firstGroup.size == secondGroup.size);
    LitImage merged = LitImage::blackImage(firstGroup.size, CV_8UC3);
    merged.box = unite(firstGroup.box, secondGroup.box);
    if (merged.box.empty())
        return merged;
    cv::Mat red = scratchMat(merged.box.size(), CV_8UC1);
    red.setTo(0);
    const cv::Mat channels[3] = {red, secondGroup.crop(merged.box), firstGroup.crop(merged.box)};
    merged.pixels = scratchMat(merged.box.size(), CV_8UC3);
    cv::merge(channels, 3, merged.pixels);
    return merged;
}

LitSupportSplit splitSupportExposure(const LitImage &models, const LitImage &supports)
{
    LitSupportSplit s;
    if (!hasLitPixel(supports)) {
        s.images = {models};
        return s;
    }
    if (!hasLitPixel(models)) {
        s.code = LayerNoModel;
        s.images = {supports};
        return s;
    }
    // The supports in the models' channel count, as the whole-image step does.
    LitImage other = supports;
    if (supports.type != models.type) {
        other.type = models.type;
        if (models.type == CV_8UC3)
            cv::cvtColor(supports.pixels, other.pixels, cv::COLOR_GRAY2RGB);
        else
            other.pixels = greyOf(supports.pixels);
    }
    LitImage both = LitImage::blackImage(models.size, models.type);
    both.box = unite(models.box, other.box);
    cv::bitwise_or(models.crop(both.box), other.crop(both.box), both.pixels);
    const cv::Rect common = models.box & other.box;
    bool overlapping = false;
    if (!common.empty()) {
        cv::Mat overlap;
        cv::bitwise_and(models.crop(common), other.crop(common), overlap);
        overlapping = cv::countNonZero(greyOf(overlap)) > 0;
    }
    if (!overlapping) {
        s.images = {both};
        return s;
    }
    s.code = LayerSplitFirst;
    s.images = {both, supports};
    return s;
}

LitImage mirrorLayer(const LitImage &image, bool horizontal, bool vertical)
{
    if ((!horizontal && !vertical) || image.black())
        return image;
    LitImage out = image;
    cv::flip(image.pixels, out.pixels, horizontal && vertical ? -1 : (horizontal ? 1 : 0));
    if (horizontal)
        out.box.x = image.size.width - image.box.x - image.box.width;
    if (vertical)
        out.box.y = image.size.height - image.box.y - image.box.height;
    return out;
}
