#include "scene/Loader.h"

#include <QDebug>
#include <QFileInfo>

#include "scene/ModelFile.h"
#include "scene/SceneMetaTypes.h"

Loader::Loader(QObject *parent, QString fileName) : QThread(parent), m_fileName(std::move(fileName))
{
    // The signals cross threads; their argument types must be known before the first emit.
    registerSceneMetaTypes();
}

void Loader::run()
{
    ModelReadResult result = readModelFile(m_fileName, [this](int percent) { emit signalUpdateProgBar(percent); });

    for (const QString &line : qAsConst(result.debugLines))
        qDebug().noquote() << line;
    if (!result.ok()) {
        // The reason goes to the log window too, so a failed load is never silent.
        const QString line = tr("Could not load %1: %2").arg(QFileInfo(m_fileName).fileName(), result.error);
        qWarning().noquote() << line;
        emit updateLogWindow(line);
        emit error_bad_stl();
        return;
    }
    for (const QString &line : qAsConst(result.logLines))
        emit updateLogWindow(line);
    if (result.format == ModelFormat::ThreeMf)
        emit sendColorList(result.colors);
    if (!result.meshes.isEmpty() && result.meshes.first().vertexCount() > 0)
        emit got_mesh(result.meshes, m_fileName);
}
