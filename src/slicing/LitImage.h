#pragma once

#include <opencv2/core.hpp>

// A layer image of which only the part that can be lit is stored: every pixel outside `box`
// is 0. A layer of a large panel lights a small part of it, so filling, post-processing and
// encoding follow the box, not the panel, and a layer in flight holds no panel-size buffer.
struct LitImage
{
    cv::Size size;       // the whole image
    int type = CV_8UC1;  // CV_8UC1 or CV_8UC3
    cv::Rect box;        // inside the image; empty for a black layer
    cv::Mat pixels;      // box.size() pixels of `type`

    bool empty() const { return size.width <= 0 || size.height <= 0; }
    bool black() const { return box.empty(); }

    // A black image.
    static LitImage blackImage(cv::Size size, int type = CV_8UC1);
    // The image with the box of its lit pixels; the pixels are shared with `image`.
    static LitImage fromFull(const cv::Mat &image);
    // The image with the whole of it as box, without looking for its lit part.
    static LitImage whole(const cv::Mat &image);

    // The whole image: the pixels themselves when the box covers it, a copy otherwise.
    cv::Mat full() const;
    // The pixels of `region` (inside the image), 0 outside the box; always a new matrix.
    cv::Mat crop(const cv::Rect &region) const;
    // The box grown by `margin` pixels on every side, inside the image (the box itself when
    // black: nothing grows from nothing).
    cv::Rect grownBox(int margin) const;
};

// An uninitialised matrix of `size` and `type` in memory this thread has used before and no
// one holds any more, when there is such: a layer's steps need a few box-size buffers each,
// and fresh ones of a large panel cost more in page faults than the steps themselves. A
// thread keeps at most a few such buffers.
cv::Mat scratchMat(cv::Size size, int type);
// Frees the buffers this thread keeps for scratchMat() (a run has ended).
void releaseScratchMats();

// The smallest rectangle holding every non-zero pixel (empty when there is none).
cv::Rect litBoundingBox(const cv::Mat &image);
