#pragma once

#include <QList>
#include <QString>
#include <QThread>

#include "scene/Mesh.h"
#include "scene/Object.h"

// Reads one model file in its own thread and hands the meshes over by queued signals.
// Deletes itself when its thread finishes (the window connects finished → deleteLater).
class Loader : public QThread
{
    Q_OBJECT
public:
    Loader(QObject *parent, QString fileName);

    const QString &fileName() const { return m_fileName; }

signals:
    void got_mesh(QList<Mesh> mv, QString filename);
    void sendColorList(QList<Object::modelColor> modelColorList);
    void signalUpdateProgBar(int percent);
    void updateLogWindow(QString msg);
    void error_bad_stl();

protected:
    void run() override;

private:
    const QString m_fileName;
};
