#pragma once

#include <QList>
#include <QPixmap>
#include <QString>
#include <QSurfaceFormat>
#include <QVector3D>
#include <QWidget>

#include "scene/Mesh.h"
#include "scene/Object.h"

class Scene;

// The 3D view. For now a plain widget that shows the view's status texts on a dark
// background; it owns the scene and forwards the window's scene commands to it.
class Canvas : public QWidget
{
    Q_OBJECT
public:
    Canvas(const QSurfaceFormat &format, QWidget *parent = nullptr, float factor = 1.5f);
    ~Canvas() override;

    Scene *scene() const { return m_scene; }

    // Manual support editing: 0 off, 1 one-point mode, 2 two-point mode.
    int supportMode = 0;

    // The short text shown at the bottom left (e.g. "Reading <file>").
    QString statusText() const { return m_statusText; }
    void setStatusText(const QString &text);

public slots:
    // Scene operations, forwarded to the scene.
    void load_mesh(QList<Mesh> meshes, QString fileName);
    void onColorList(QList<Object::modelColor> colors);
    void changeSelObj(QList<int> selIds, int selId);
    void changeObjScale(double nsx, double nsy, double nsz);
    void on_duplicateObj(int id);
    void clear_model();
    void onUpdateBBox();
    void onMoveToBottom();
    void checkPosConflict();
    void removeObj(int id);
    void removeObjList(QList<int> idList);
    void group();
    void ungroup();
    void undo();

    // View, support, slicing and drain-hole features.
    void onChangeProjection(bool isOrtho);
    void deleteBases();
    void deleteAllSupports();
    void setSupportParameters(float sp, float r0, float r1, float r2, float r3, float h0, float h2,
                              float theta, float theta2, bool thinTip);
    void onChangeOpacity(float opacity);
    void onAutoSupport();
    void onModelFlip();
    void onStartSlicing(float sliceThickness, QString fileName);
    void onMoveSupports(QVector3D dist);
    void onProjectorSizeChanged(int index);

signals:
    void objSelectionChanged(int id);
    void modelListChanged();
    void signalUpdateGlobalZ(float z);
    void updateLogWindow(QString msg);
    void signalTimedMessage(QString text, int milliseconds);
    void signalUpdateSlice(QList<QPixmap> slices);
    void signalUpdateSliceFilename(QList<QString> fileNames);
    void signalUpdatePreview(QList<QPixmap> previews);
    void signalDrainHoleCreated();
    void signalSupportModeOff();
    void signalPreviewSliderChange(float value);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Scene *m_scene = nullptr;
    QString m_statusText;
    float m_factor;
};
