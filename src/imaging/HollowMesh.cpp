#include "imaging/HollowMesh.h"

#include <cmath>
#include <unordered_map>

#include "imaging/Hollowing.h"
#include "slicing/CpuFillRenderer.h"
#include "slicing/Slicer.h"

bool sliceCoarseStack(const SliceObject &object, const SliceParameters &plate, float topMm, double voxelUm,
                      CoarseStack *out, QString *error)
{
    // The same plate in coarse pixels, an even count so the plate centre is a pixel corner.
    SliceParameters coarse;
    auto edge = [voxelUm](int px, float um) { return 2 * int(std::ceil(double(px) * double(um) / voxelUm / 2.0)); };
    coarse.projectorWidthPx = edge(plate.projectorWidthPx, plate.pixelSizeXUm);
    coarse.projectorHeightPx = edge(plate.projectorHeightPx, plate.pixelSizeYUm);
    coarse.pixelSizeXUm = coarse.pixelSizeYUm = float(voxelUm);
    coarse.oversizeFactor = plate.oversizeFactor;
    CpuFillRenderer renderer;
    Slicer slicer(&renderer);
    SliceRunOptions options;
    options.sliceThicknessUm = float(voxelUm);
    options.maxZ = topMm;
    options.sliceOnDisk = false;
    QString why;
    if (!slicer.start({object}, coarse, options, &why)) {
        if (error)
            *error = why;
        return false;
    }
    Slicer::Step step;
    do
        step = slicer.processLayer();
    while (step == Slicer::Continue);
    if (step != Slicer::Finished) {
        if (error)
            *error = slicer.errorString();
        return false;
    }
    out->layers.clear();
    for (const cv::Mat &layer : slicer.sliceImages())
        out->layers.push_back(layer.channels() == 1 ? layer : cv::Mat());
    const double dMm = voxelUm / 1000.0;
    out->grid.dxMm = out->grid.dyMm = out->grid.dzMm = dMm;
    out->grid.x0Mm = -coarse.projectorWidthPx / 2 * dMm;
    out->grid.y0Mm = -coarse.projectorHeightPx / 2 * dMm;
    // Each layer stands for the slab above its recorded height (it is cut in the slab's middle).
    out->grid.z0Mm = slicer.sliceHeights().empty() ? 0.0 : double(slicer.sliceHeights().front());
    return true;
}

Mesh voxelSurface(const std::vector<cv::Mat> &masks, const VoxelGrid &grid, bool facingInward)
{
    std::vector<float> vertices;
    std::vector<uint32_t> indices;
    std::unordered_map<uint64_t, uint32_t> corners;
    auto corner = [&](int x, int y, int z) {
        const uint64_t key = (uint64_t(uint32_t(x)) << 42) | (uint64_t(uint32_t(y)) << 21) | uint64_t(uint32_t(z));
        auto [it, added] = corners.emplace(key, uint32_t(vertices.size() / 3));
        if (added) {
            vertices.push_back(float(grid.x0Mm + x * grid.dxMm));
            vertices.push_back(float(grid.y0Mm + y * grid.dyMm));
            vertices.push_back(float(grid.z0Mm + z * grid.dzMm));
        }
        return it->second;
    };
    // The unit cube's faces, corners counter-clockwise seen from outside.
    struct Face
    {
        int dx, dy, dz;
        int c[4][3];
    };
    static const Face faces[6] = {
        {1, 0, 0, {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}},
        {-1, 0, 0, {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}}},
        {0, 1, 0, {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}}},
        {0, -1, 0, {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}},
        {0, 0, 1, {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}},
        {0, 0, -1, {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}},
    };
    const int layers = int(masks.size());
    auto lit = [&](int x, int y, int z) {
        if (z < 0 || z >= layers)
            return false;
        const cv::Mat &m = masks[std::size_t(z)];
        return !m.empty() && x >= 0 && y >= 0 && x < m.cols && y < m.rows && m.at<uchar>(y, x) != 0;
    };
    for (int z = 0; z < layers; ++z) {
        const cv::Mat &m = masks[std::size_t(z)];
        if (m.empty())
            continue;
        for (int y = 0; y < m.rows; ++y) {
            const uchar *row = m.ptr<uchar>(y);
            for (int x = 0; x < m.cols; ++x) {
                if (!row[x])
                    continue;
                for (const Face &f : faces) {
                    if (lit(x + f.dx, y + f.dy, z + f.dz))
                        continue;
                    uint32_t q[4];
                    for (int i = 0; i < 4; ++i)
                        q[i] = corner(x + f.c[i][0], y + f.c[i][1], z + f.c[i][2]);
                    if (facingInward)
                        indices.insert(indices.end(), {q[0], q[2], q[1], q[0], q[3], q[2]});
                    else
                        indices.insert(indices.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
                }
            }
        }
    }
    std::vector<uint32_t> reversed = reverseWinding(indices);
    return Mesh(std::move(vertices), std::move(indices), std::move(reversed));
}

std::vector<cv::Mat> removedPart(const std::vector<cv::Mat> &input, const std::vector<cv::Mat> &hollowed)
{
    std::vector<cv::Mat> out;
    for (std::size_t k = 0; k < input.size() && k < hollowed.size(); ++k) {
        cv::Mat removed;
        cv::subtract(input[k], hollowed[k], removed);
        out.push_back(removed);
    }
    return out;
}

bool hollowMeshOf(const SliceObject &object, const SliceParameters &plate, float topMm, double wallMm,
                  double voxelUm, Mesh *out, QString *error)
{
    CoarseStack stack;
    if (!sliceCoarseStack(object, plate, topMm, voxelUm, &stack, error))
        return false;
    // Closed at the bottom as well: the cavity of a hollowed model is sealed all round.
    const HollowingSettings s = hollowingFromMm(wallMm, voxelUm, voxelUm);
    const std::vector<cv::Mat> hollowed = hollowLayers(stack.layers, s);
    *out = voxelSurface(removedPart(stack.layers, hollowed), stack.grid, true);
    return true;
}
