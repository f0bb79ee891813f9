#include <QtTest>

#include "scene/Mesh.h"
#include "scene/Object.h"

// Mesh winding and the object transform: the order of operations decides where every
// model stands, so the cases pin each step.
class TransformTest : public QObject
{
    Q_OBJECT
private slots:

    void flippedScaledObjectMapsCentreOffset()
    {
        Object o;
        o.center = QVector3D(3, 4, 5);
        o.scale = QVector3D(2, 1, 1);
        o.move = QVector3D(10, 20, 30);
        o.flip = true;
        const QVector3D p = objectMatrix(o).map(o.center + QVector3D(1, 0, 0));
        QVERIFY(qFuzzyCompare(p, QVector3D(10 - 2, 20, 30 + 5)));
    }

    void rotationTurnsAboutXThenZ()
    {
        Object o;
        o.rotation = QVector3D(90, 0, 90);
        // (0,1,0): about x by 90 gives (0,0,1), about z leaves it there.
        const QVector3D a = objectMatrix(o).map(QVector3D(0, 1, 0));
        QVERIFY(qFuzzyCompare(a + QVector3D(1, 1, 1), QVector3D(0, 0, 1) + QVector3D(1, 1, 1)));
        // (1,0,0): x leaves it, z by 90 gives (0,1,0).
        const QVector3D b = objectMatrix(o).map(QVector3D(1, 0, 0));
        QVERIFY(qFuzzyCompare(b + QVector3D(1, 1, 1), QVector3D(0, 1, 0) + QVector3D(1, 1, 1)));
    }
};

QTEST_GUILESS_MAIN(TransformTest)
#include "tst_transform.moc"
