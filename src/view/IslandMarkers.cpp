#include <epoxy/gl.h>

#include "view/IslandMarkers.h"

#include <QMatrix4x4>

#include "view/Camera.h"
#include "slicing/GlProgram.h"
#include "view/SceneRenderer.h"

std::vector<float> islandMarkerLines(const std::vector<float> &pointsMm, float armMm)
{
    std::vector<float> lines;
    lines.reserve(pointsMm.size() / 3 * 90);
    for (std::size_t i = 0; i + 2 < pointsMm.size(); i += 3) {
        const float p[3] = {pointsMm[i], pointsMm[i + 1], pointsMm[i + 2]};
        float tip[6][3];
        for (int axis = 0; axis < 3; ++axis) {
            for (int side = 0; side < 2; ++side) {
                float *t = tip[2 * axis + side];
                t[0] = p[0];
                t[1] = p[1];
                t[2] = p[2];
                t[axis] += side ? armMm : -armMm;
            }
            const float *a = tip[2 * axis], *b = tip[2 * axis + 1];
            lines.insert(lines.end(), {a[0], a[1], a[2], b[0], b[1], b[2]});
        }
        // The octahedron over the arms' tips: seen from any side the mark is a diamond.
        for (int i = 0; i < 6; ++i) {
            for (int j = i + 1; j < 6; ++j) {
                if (i / 2 == j / 2)
                    continue;
                lines.insert(lines.end(), {tip[i][0], tip[i][1], tip[i][2], tip[j][0], tip[j][1], tip[j][2]});
            }
        }
    }
    return lines;
}

void drawIslandMarkers(SceneRenderer &renderer, const Camera &camera, const ViewSettings &settings,
                       const std::vector<float> &pointsMm)
{
    GlProgram *line = renderer.program("line");
    if (!line || pointsMm.size() < 3)
        return;
    const int loc = line->attributeLocation("inVertex");
    if (loc < 0)
        return;
    const std::vector<float> lines = islandMarkerLines(pointsMm, 2.0f);
    QMatrix4x4 model;
    model.scale(settings.sceneScale());
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(lines.size() * sizeof(float)), lines.data(), GL_STREAM_DRAW);
    // Over everything: an island is inside its model.
    glDisable(GL_DEPTH_TEST);
    line->bind();
    line->setUniform("modelMatrix", model);
    line->setUniform("viewMatrix", camera.viewMatrix());
    line->setUniform("pFactor", camera.pFactor);
    line->setUniform("color", QVector3D(1.0f, 0.1f, 0.1f));
    glEnableVertexAttribArray(GLuint(loc));
    glVertexAttribPointer(GLuint(loc), 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    glDrawArrays(GL_LINES, 0, GLsizei(lines.size() / 3));
    glDisableVertexAttribArray(GLuint(loc));
    line->release();
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDeleteBuffers(1, &buffer);
    glEnable(GL_DEPTH_TEST);
}
