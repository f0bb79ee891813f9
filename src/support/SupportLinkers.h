#pragma once

#include <QPair>
#include <QString>
#include <QVector3D>
#include <QVector>

class Scene;

// Thin diagonal braces between neighbouring supports of the same model, kept as the one
// scene object "SupportLinkers". They are thrown away whenever supports move and made
// again on demand.
class SupportLinkers
{
public:
    explicit SupportLinkers(Scene *scene) : m_scene(scene) {}

    // Two supports (object ids) to be braced, and the distance between their feet (mm).
    struct Pair
    {
        int first = 0;
        int second = 0;
        float distanceMm = 0.0f;
    };
    // One brace from a to b (world mm).
    using Brace = QPair<QVector3D, QVector3D>;

    // Supports with a full foot (more than four points) of each model, paired nearest first
    // while their feet are closer than distanceMm and neither has two links yet.
    QVector<Pair> linkedPairs(int distanceMm) const;
    // The crossing braces of one pair, level by level from the top of the supports' bodies.
    QVector<Brace> bracesOf(const Pair &pair) const;

    // Replaces the linker object with a new one for the whole scene. Returns its id; -1
    // when nothing was made: *error says why when the distance is not above 0, and stays
    // empty when no supports are close enough to link.
    int generateSupportLinkers(int distanceMm, QString *error = nullptr);
    // Makes them again with the last distance (after support mode put them away).
    int regenerate() { return generateSupportLinkers(m_distanceMm); }
    int distanceMm() const { return m_distanceMm; }
    // The braces of the last generation.
    const QVector<Brace> &braces() const { return m_braces; }

    // Radius of a brace of the given length: 0.3 mm at 4.5 mm, growing with its square root.
    static float braceRadiusMm(float lengthMm);

private:
    // Where support objId's body passes height z (world mm).
    QVector3D bodyPointAt(int objId, float z) const;

    Scene *m_scene;
    int m_distanceMm = 10;
    QVector<Brace> m_braces;
};
