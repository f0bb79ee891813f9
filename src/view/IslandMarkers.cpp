#include <epoxy/gl.h>

#include "view/IslandMarkers.h"

#include <QMatrix4x4>

#include "view/Camera.h"
#include "slicing/GlProgram.h"
#include "view/SceneRenderer.h"

std::vector<float> islandMarkerLines(const std::vector<float> &pointsMm, float armMm)
{
    std::vector<float> lines;
    lines.reserve(pointsMm.size() / 3 * 18);
    for (std::size_t i = 0; i + 2 < pointsMm.size(); i += 3) {
        const float p[3] = {pointsMm[i], pointsMm[i + 1], pointsMm[i + 2]};
        for (int axis = 0; axis < 3; ++axis) {
            float a[3] = {p[0], p[1], p[2]}, b[3] = {p[0], p[1], p[2]};
            a[axis] -= armMm;
            b[axis] += armMm;
            lines.insert(lines.end(), {a[0], a[1], a[2], b[0], b[1], b[2]});
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
