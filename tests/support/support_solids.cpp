#include "support_solids.h"

#include <map>
#include <utility>

double signedVolume(const std::vector<float> &v, const std::vector<int> &idx)
{
    double sum = 0;
    for (std::size_t t = 0; t + 2 < idx.size(); t += 3) {
        double p[3][3];
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                p[c][k] = v[std::size_t(idx[t + std::size_t(c)]) * 3 + std::size_t(k)];
        // a · (b × c) / 6
        sum += (p[0][0] * (p[1][1] * p[2][2] - p[1][2] * p[2][1]) - p[0][1] * (p[1][0] * p[2][2] - p[1][2] * p[2][0])
                + p[0][2] * (p[1][0] * p[2][1] - p[1][1] * p[2][0]))
               / 6.0;
    }
    return sum;
}

double signedVolume(const Mesh &mesh)
{
    return signedVolume(mesh.vertices, std::vector<int>(mesh.indices.begin(), mesh.indices.end()));
}

QString closednessProblem(const std::vector<int> &idx)
{
    std::map<std::pair<int, int>, int> directed;
    for (std::size_t t = 0; t + 2 < idx.size(); t += 3)
        for (int c = 0; c < 3; ++c)
            ++directed[{idx[t + std::size_t(c)], idx[t + std::size_t((c + 1) % 3)]}];
    for (const auto &e : directed) {
        const auto back = directed.find({e.first.second, e.first.first});
        if (e.second != 1 || back == directed.end() || back->second != 1)
            return QString("edge %1-%2: %3 forward, %4 back")
                .arg(e.first.first)
                .arg(e.first.second)
                .arg(e.second)
                .arg(back == directed.end() ? 0 : back->second);
    }
    return QString();
}

#include "scene/Scene.h"

Mesh boxMesh(QVector3D lo, QVector3D hi)
{
    std::vector<float> v;
    for (int k = 0; k < 8; ++k) {
        v.push_back(k & 1 ? hi.x() : lo.x());
        v.push_back(k & 2 ? hi.y() : lo.y());
        v.push_back(k & 4 ? hi.z() : lo.z());
    }
    std::vector<uint32_t> idx = {0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4,
                                 2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5};
    std::vector<uint32_t> rev = reverseWinding(idx);
    return Mesh(std::move(v), std::move(idx), std::move(rev));
}

int addBoxModel(Scene &scene, QVector3D size, const QString &name)
{
    scene.setLoadPauseMs(0);
    scene.load_mesh({boxMesh(QVector3D(0, 0, 0), size)}, "/models/" + name);
    return scene.objectCount() - 1;
}
