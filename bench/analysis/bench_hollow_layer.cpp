// Hollowing's steps on one layer like the middle of the benchmark torus: a ring of 1040 px
// outer and 560 px inner diameter on a 1920 × 1080 layer, wall 20 px and 40 layers.
#include <cstdio>
#include <ctime>
#include <opencv2/imgproc.hpp>

#include "imaging/Hollowing.h"

int main()
{
    cv::Mat layer = cv::Mat::zeros(1080, 1920, CV_8UC1);
    cv::circle(layer, cv::Point(960, 540), 520, cv::Scalar(255), cv::FILLED);
    cv::circle(layer, cv::Point(960, 540), 280, cv::Scalar(0), cv::FILLED);
    HollowingSettings s;
    s.wallPx = 20;
    s.wallLayers = 40;
    const int rounds = 100;
    // Processor time, not wall time: on a shared machine it is the steadier figure.
    struct Clock
    {
        std::clock_t t0 = 0;
        void start() { t0 = std::clock(); }
        void restart() { t0 = std::clock(); }
        double nsecsElapsed() const { return double(std::clock() - t0) * 1e9 / CLOCKS_PER_SEC; }
    } clock;

    clock.start();
    ErodedMask eroded;
    for (int i = 0; i < rounds; ++i)
        eroded = erodeLayer(layer, s.wallPx);
    const double erodeMs = double(clock.nsecsElapsed()) / 1e6 / rounds;
    const cv::Rect litBox = cv::boundingRect(layer);
    clock.restart();
    for (int i = 0; i < rounds; ++i)
        eroded = erodeLayer(layer, s.wallPx, litBox);
    const double erodeInBoxMs = double(clock.nsecsElapsed()) / 1e6 / rounds;

    HollowingStack stack(s, layer.size());
    clock.restart();
    LayerStackStage::Change change;
    for (int i = 0; i < rounds * 2; ++i)
        change = stack.push(i, eroded);
    const double pushMs = double(clock.nsecsElapsed()) / 1e6 / (rounds * 2);

    clock.restart();
    cv::Mat out;
    for (int i = 0; i < rounds; ++i)
    {
        out = layer.clone();
        LayerStackStage::apply(out, change);
    }
    const double applyMs = double(clock.nsecsElapsed()) / 1e6 / rounds;

    std::printf("one layer (1920 x 1080, ring of 1040 px, wall 20 px / 40 layers), processor time: erode %.2f ms "
                "(%.2f ms with its lit box known), Z window %.2f ms, cut %.2f ms\n",
                erodeMs, erodeInBoxMs, pushMs, applyMs);
    return cv::countNonZero(out) > 0 ? 0 : 1;
}
