#include "support_slicing.h"

#include <cmath>

#include "scene/Object.h"

namespace {

struct Builder
{
    std::vector<float> v;
    std::vector<uint32_t> i;

    uint32_t vertex(float x, float y, float z)
    {
        v.push_back(x);
        v.push_back(y);
        v.push_back(z);
        return uint32_t(v.size() / 3 - 1);
    }
    void tri(uint32_t a, uint32_t b, uint32_t c)
    {
        i.push_back(a);
        i.push_back(b);
        i.push_back(c);
    }
    void quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d)   // counter-clockwise from outside
    {
        tri(a, b, c);
        tri(a, c, d);
    }
    std::shared_ptr<Mesh> mesh()
    {
        std::vector<uint32_t> r = reverseWinding(i);
        return std::make_shared<Mesh>(std::move(v), std::move(i), std::move(r));
    }
};

} // namespace

std::shared_ptr<Mesh> boxMesh(float sx, float sy, float sz)
{
    return rampMesh(sx, sy, sz, sz);
}

std::shared_ptr<Mesh> rampMesh(float sx, float sy, float h0, float h1)
{
    Builder b;
    const uint32_t p000 = b.vertex(0, 0, 0), p100 = b.vertex(sx, 0, 0), p110 = b.vertex(sx, sy, 0),
                   p010 = b.vertex(0, sy, 0), p001 = b.vertex(0, 0, h0), p101 = b.vertex(sx, 0, h1),
                   p111 = b.vertex(sx, sy, h1), p011 = b.vertex(0, sy, h0);
    b.quad(p000, p010, p110, p100);   // bottom, facing down
    b.quad(p001, p101, p111, p011);   // top
    b.quad(p000, p100, p101, p001);   // y = 0
    b.quad(p100, p110, p111, p101);   // x = sx
    b.quad(p110, p010, p011, p111);   // y = sy
    b.quad(p010, p000, p001, p011);   // x = 0
    return b.mesh();
}

std::shared_ptr<Mesh> cylinderMesh(float radius, float height, int segments)
{
    Builder b;
    const uint32_t bottomCentre = b.vertex(0, 0, 0);
    const uint32_t topCentre = b.vertex(0, 0, height);
    std::vector<uint32_t> lo, hi;
    for (int k = 0; k < segments; ++k) {
        const double a = 2.0 * M_PI * k / segments;
        lo.push_back(b.vertex(float(radius * std::cos(a)), float(radius * std::sin(a)), 0));
        hi.push_back(b.vertex(float(radius * std::cos(a)), float(radius * std::sin(a)), height));
    }
    for (int k = 0; k < segments; ++k) {
        const int n = (k + 1) % segments;
        b.tri(bottomCentre, lo[n], lo[k]);
        b.tri(topCentre, hi[k], hi[n]);
        b.quad(lo[k], lo[n], hi[n], hi[k]);
    }
    return b.mesh();
}

std::shared_ptr<Mesh> torusMesh(float R, float r, int nu, int nv)
{
    Builder b;
    auto at = [&](int u, int v) { return uint32_t((u % nu) * nv + (v % nv)); };
    for (int u = 0; u < nu; ++u) {
        const double a = 2.0 * M_PI * u / nu;
        for (int v = 0; v < nv; ++v) {
            const double c = 2.0 * M_PI * v / nv;
            const double rr = R + r * std::cos(c);
            b.vertex(float(rr * std::cos(a)), float(rr * std::sin(a)), float(r * std::sin(c)));
        }
    }
    for (int u = 0; u < nu; ++u)
        for (int v = 0; v < nv; ++v)
            b.quad(at(u, v), at(u + 1, v), at(u + 1, v + 1), at(u, v + 1));
    return b.mesh();
}

std::shared_ptr<Mesh> wedgeMesh(float a, float bLen, float h)
{
    Builder b;
    const uint32_t p0 = b.vertex(0, 0, 0), p1 = b.vertex(a, 0, 0), p2 = b.vertex(0, bLen, 0);
    const uint32_t q0 = b.vertex(0, 0, h), q1 = b.vertex(a, 0, h), q2 = b.vertex(0, bLen, h);
    b.tri(p0, p2, p1);
    b.tri(q0, q1, q2);
    b.quad(p0, p1, q1, q0);
    b.quad(p1, p2, q2, q1);
    b.quad(p2, p0, q0, q2);
    return b.mesh();
}

std::shared_ptr<Mesh> pyramidMesh(float side, float height)
{
    Builder b;
    const float h = side / 2;
    const uint32_t p0 = b.vertex(-h, -h, 0), p1 = b.vertex(h, -h, 0), p2 = b.vertex(h, h, 0), p3 = b.vertex(-h, h, 0);
    const uint32_t apex = b.vertex(0, 0, height);
    b.quad(p0, p3, p2, p1);
    b.tri(p0, p1, apex);
    b.tri(p1, p2, apex);
    b.tri(p2, p3, apex);
    b.tri(p3, p0, apex);
    return b.mesh();
}

std::shared_ptr<Mesh> coneMesh(float radius, float height, int segments)
{
    Builder b;
    const uint32_t bottomCentre = b.vertex(0, 0, 0);
    const uint32_t apex = b.vertex(0, 0, height);
    std::vector<uint32_t> rim;
    for (int k = 0; k < segments; ++k) {
        const double a = 2.0 * M_PI * k / segments;
        rim.push_back(b.vertex(float(radius * std::cos(a)), float(radius * std::sin(a)), 0));
    }
    for (int k = 0; k < segments; ++k) {
        const int n = (k + 1) % segments;
        b.tri(bottomCentre, rim[n], rim[k]);
        b.tri(rim[k], rim[n], apex);
    }
    return b.mesh();
}

std::shared_ptr<Mesh> sphereMesh(float radius, int stacks, int slices)
{
    Builder b;
    const uint32_t south = b.vertex(0, 0, -radius);
    std::vector<std::vector<uint32_t>> ring(std::size_t(stacks - 1));
    for (int i = 1; i < stacks; ++i) {
        const double t = M_PI * i / stacks - M_PI / 2;
        for (int k = 0; k < slices; ++k) {
            const double a = 2.0 * M_PI * k / slices;
            ring[std::size_t(i - 1)].push_back(b.vertex(float(radius * std::cos(t) * std::cos(a)),
                                                        float(radius * std::cos(t) * std::sin(a)),
                                                        float(radius * std::sin(t))));
        }
    }
    const uint32_t north = b.vertex(0, 0, radius);
    for (int k = 0; k < slices; ++k) {
        const int n = (k + 1) % slices;
        b.tri(south, ring.front()[std::size_t(n)], ring.front()[std::size_t(k)]);
        b.tri(north, ring.back()[std::size_t(k)], ring.back()[std::size_t(n)]);
        for (std::size_t i = 0; i + 1 < ring.size(); ++i)
            b.quad(ring[i][std::size_t(k)], ring[i][std::size_t(n)], ring[i + 1][std::size_t(n)],
                   ring[i + 1][std::size_t(k)]);
    }
    return b.mesh();
}

std::shared_ptr<Mesh> steppedBlockMesh(const std::vector<float> &sides, float tierHeight)
{
    Builder b;
    for (std::size_t t = 0; t < sides.size(); ++t) {
        const float h = sides[t] / 2, z0 = tierHeight * float(t), z1 = z0 + tierHeight;
        const uint32_t p000 = b.vertex(-h, -h, z0), p100 = b.vertex(h, -h, z0), p110 = b.vertex(h, h, z0),
                       p010 = b.vertex(-h, h, z0), p001 = b.vertex(-h, -h, z1), p101 = b.vertex(h, -h, z1),
                       p111 = b.vertex(h, h, z1), p011 = b.vertex(-h, h, z1);
        b.quad(p000, p010, p110, p100);
        b.quad(p001, p101, p111, p011);
        b.quad(p000, p100, p101, p001);
        b.quad(p100, p110, p111, p101);
        b.quad(p110, p010, p011, p111);
        b.quad(p010, p000, p001, p011);
    }
    return b.mesh();
}

SliceObject placed(const std::shared_ptr<Mesh> &mesh, QVector3D move, QVector3D rotationDeg, bool flip, int type,
                   int mode)
{
    Object obj;
    obj.mesh = mesh;
    obj.center = QVector3D((mesh->minCoord(0) + mesh->maxCoord(0)) / 2, (mesh->minCoord(1) + mesh->maxCoord(1)) / 2,
                           (mesh->minCoord(2) + mesh->maxCoord(2)) / 2);
    obj.rotation = rotationDeg;
    obj.flip = flip;
    obj.type = type;
    obj.mode = mode;
    // Stand it on the plate: the lowest transformed vertex goes to z = 0.
    float bottom = 1e30f;
    const QMatrix4x4 m = objectMatrix(obj);
    for (std::size_t k = 0; k < mesh->vertexCount(); ++k)
        bottom = std::min(bottom, m.map(QVector3D(mesh->vertices[3 * k], mesh->vertices[3 * k + 1],
                                                  mesh->vertices[3 * k + 2])).z());
    obj.move = move + QVector3D(0, 0, -bottom);
    return SliceObject::fromObject(obj);
}

bool litAt(const cv::Mat &image, float xMm, float yMm, float pixelUm)
{
    const int col = int(std::floor(image.cols / 2.0 + xMm * 1000.0 / pixelUm));
    const int row = int(std::floor(image.rows / 2.0 + yMm * 1000.0 / pixelUm));
    if (col < 0 || row < 0 || col >= image.cols || row >= image.rows)
        return false;
    return image.at<uchar>(row, col) != 0;
}

SliceParameters smallProjector()
{
    SliceParameters p;
    p.projectorWidthPx = 640;
    p.projectorHeightPx = 400;
    p.pixelSizeXUm = p.pixelSizeYUm = 100;
    return p;
}

Slicer::Step runToEnd(Slicer &s)
{
    Slicer::Step step;
    while ((step = s.processLayer()) == Slicer::Continue) {
    }
    return step;
}
