#include "support/SceneFileLoad.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVector>

#include "scene/ModelFile.h"
#include "scene/Scene.h"
#include "support/Bases.h"
#include "support/SupportEditor.h"

namespace {

bool readModelInto(Scene &scene, const QString &path, QString *error)
{
    const ModelReadResult r = readModelFile(path);
    if (!r.ok()) {
        *error = r.error;
        return false;
    }
    if (!r.colors.isEmpty())
        scene.onColorList(r.colors);
    const int before = scene.objectCount();
    scene.load_mesh(r.meshes, QFileInfo(path).absoluteFilePath());
    if (scene.objectCount() == before) {
        *error = QStringLiteral("The file holds no usable mesh.");
        return false;
    }
    return true;
}

class SceneAssembler
{
public:
    SceneAssembler(const QString &sceneFilePath, Scene &scene, Bases &bases, SupportEditor &supports,
                   const SceneFileHooks &hooks)
        : m_folder(QFileInfo(sceneFilePath).absolutePath()), m_scene(scene), m_bases(bases), m_supports(supports),
          m_hooks(hooks)
    {
        if (!m_hooks.loadModel)
            m_hooks.loadModel = [this](const QString &path, QString *error) { return readModelInto(m_scene, path, error); };
        for (int i = 1; i < scene.objectCount(); ++i)
            m_baseGroup = std::max(m_baseGroup, scene.object(i)->groupId);
    }

    SceneFileLoadResult run(const SceneDocument &doc)
    {
        m_result.problems = doc.problems;
        for (const SceneFileBlock &block : doc.blocks) {
            if (m_hooks.cancelled && m_hooks.cancelled()) {
                m_result.cancelled = true;
                break;
            }
            int made = -1;
            if (block.skipped)
                made = -1;
            else if (block.kind == SceneFileBlock::Model)
                made = addModel(block.model);
            else if (block.kind == SceneFileBlock::Base)
                made = addBase(block.base);
            else
                made = addSupport(block.support);
            m_made << made;
            progress(block.endOffset, QString());
        }
        // The global base follows every model, so it comes once they are all there.
        if (m_globalThicknessMm > 0) {
            m_scene.changeSelObj({}, 0);
            QString why;
            const float margin = m_hooks.globalBaseMarginMm >= 0 ? m_hooks.globalBaseMarginMm : m_bases.globalMarginMm();
            if (m_bases.addGlobalBase(margin, m_globalThicknessMm, &why) >= 0)
                ++m_result.basesMade;
            else
                m_result.problems << QStringLiteral("The global base was not made: %1").arg(why);
        }
        m_scene.refreshSupport();
        return m_result;
    }

private:
    // The object a file id stands for now: 0 stays the build plate; -1 when its block made
    // nothing (or the id names no block before this one).
    int mapped(int fileId) const
    {
        if (fileId == 0)
            return 0;
        if (fileId < 0 || fileId > m_made.size())
            return -1;
        return m_made[fileId - 1];
    }

    void progress(qint64 bytes, const QString &text)
    {
        if (m_hooks.progress)
            m_hooks.progress(bytes, text);
    }

    int nameInScene(const QString &name) const
    {
        for (int i = 1; i < m_scene.objectCount(); ++i)
            if (m_scene.object(i)->type == TypeModel && m_scene.object(i)->name == name)
                return i;
        return -1;
    }

    // Loads a model file; the id of the first object it made, -1 when none.
    int load(const QString &path, QString *error)
    {
        const QFileInfo info(path);
        if (!info.isFile()) {
            *error = QStringLiteral("No file at %1").arg(path);
            return -1;
        }
        progress(-1, info.fileName() + " is reading..");
        const int before = m_scene.objectCount();
        if (!m_hooks.loadModel(path, error) || m_scene.objectCount() <= before) {
            if (error->isEmpty())
                *error = QStringLiteral("%1 gave no model").arg(path);
            return -1;
        }
        return before;
    }

    int addModel(const SceneFileModel &m)
    {
        const QString fileName = QFileInfo(m.path).fileName();
        int id = -1;
        if (!fileName.isEmpty())
            id = nameInScene(fileName);
        QString why;
        if (id >= 1) {
            m_scene.copyObject(id);
            id = m_scene.objectCount() - 1;
        } else {
            id = -1;
            if (!m.path.isEmpty())
                id = load(m.path, &why);
            if (id < 0 && !fileName.isEmpty())
                id = load(QDir(m_folder).filePath(fileName), &why);
            if (id < 0 && m_hooks.chooseMissing) {
                const QString chosen = m_hooks.chooseMissing(fileName.isEmpty() ? m.path : fileName);
                if (!chosen.isEmpty())
                    id = load(chosen, &why);
            }
        }
        if (id < 0) {
            m_result.missingModels << (fileName.isEmpty() ? m.path : fileName);
            m_result.problems << QStringLiteral("The model %1 was left out: %2").arg(m.path, why);
            return -1;
        }
        progress(-1, QStringLiteral("Updating model properties.."));
        Object *o = m_scene.object(id);
        o->scale = m.scale;
        o->move = m.move;
        o->rotation = m.rotation;
        o->isShow = m.isShow;
        o->selectable = m.selectable;
        o->flip = m.flip;
        o->opacity = m.opacity;
        const int parent = mapped(m.parent);
        o->parent = parent > 0 ? parent : 0;
        o->moveZoff = m.moveZoff;
        o->type = TypeModel;
        o->groupId = m.groupId >= 0 ? m_baseGroup + 1 + m.groupId : -1;
        m_scene.refreshAABB(id, 0);
        ++m_result.modelsMade;
        return id;
    }

    int addBase(const SceneFileBase &b)
    {
        const int p = mapped(b.parent);
        if (p < 0) {
            m_result.problems << QStringLiteral("A base of a model left out was skipped.");
            return -1;
        }
        const QVector3D sz = b.size;
        if (sz.x() == 1.0f && sz.y() == 1.0f) {
            m_globalThicknessMm = sz.z() > 0 ? sz.z() : m_bases.globalThicknessMm();
            return -1;
        }
        int id = -1;
        QString why;
        if (sz.x() == 0.0f && sz.y() == 0.0f) {
            const Object *model = m_scene.object(p);
            if (sz.z() > 0 && p >= 1 && model && model->type == TypeModel && m_hooks.sectionOutlines) {
                m_scene.changeSelObj({p}, p);
                id = m_bases.createRingBase(m_hooks.sectionOutlines(m_scene, p, sz.z()), sz.z(), &why);
                if (id >= 0)
                    m_scene.object(id)->scale = b.scale;
            } else {
                why = QStringLiteral("it belongs to no model");
            }
        } else {
            if (sz.x() > 110 && sz.y() > 60) {
                const int before = m_scene.objectCount();
                if (m_hooks.loadModel(m_hooks.gridBasePath, &why) && m_scene.objectCount() > before)
                    id = m_scene.objectCount() - 1;
            } else {
                id = m_bases.addRectBase(sz);
            }
            if (id >= 0) {
                m_scene.object(id)->move = b.move;
                m_scene.object(id)->scale = b.scale;
            }
        }
        if (id < 0) {
            m_result.problems << QStringLiteral("A base was not made: %1").arg(why.isEmpty() ? QStringLiteral("its size is not usable") : why);
            return -1;
        }
        m_scene.object(id)->parent = p;
        m_scene.refreshAABB(id, 0);
        ++m_result.basesMade;
        return id;
    }

    int addSupport(const SceneFileSupport &s)
    {
        spUnit u;
        u.tipObjectId = mapped(s.tip);
        u.footObjectId = mapped(s.foot);
        u.parentId = mapped(s.parent);
        if (u.tipObjectId < 0 || u.footObjectId < 0 || u.parentId < 0) {
            m_result.problems << QStringLiteral("A support of a model left out was skipped.");
            return -1;
        }
        u.thinTip = s.thinTip;
        u.points = s.points;
        u.radii = s.radii;
        progress(-1, QStringLiteral("Support is being added.."));
        QString why;
        const int id = m_supports.addSupportManual(u, &why);
        if (id < 0) {
            m_result.problems << QStringLiteral("A support was skipped: %1").arg(why);
            return -1;
        }
        ++m_result.supportsMade;
        return id;
    }

    QString m_folder;
    Scene &m_scene;
    Bases &m_bases;
    SupportEditor &m_supports;
    SceneFileHooks m_hooks;
    SceneFileLoadResult m_result;
    QVector<int> m_made;           // per block: the object it made, -1 for none
    int m_baseGroup = -1;
    float m_globalThicknessMm = 0;
};

} // namespace

SceneFileLoadResult loadSceneDocument(const SceneDocument &doc, const QString &sceneFilePath, Scene &scene,
                                      Bases &bases, SupportEditor &supports, const SceneFileHooks &hooks)
{
    return SceneAssembler(sceneFilePath, scene, bases, supports, hooks).run(doc);
}

bool loadSceneFile(const QString &path, Scene &scene, Bases &bases, SupportEditor &supports,
                   const SceneFileHooks &hooks, SceneFileLoadResult *result, QString *error)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QFileInfo(path).isDir() ? QStringLiteral("Is a directory") : file.errorString();
        return false;
    }
    const QByteArray text = file.readAll();
    const SceneFileLoadResult r = loadSceneDocument(parseSceneFile(text), path, scene, bases, supports, hooks);
    if (result)
        *result = r;
    return true;
}

bool isSceneFilePath(const QString &path) { return path.endsWith(QLatin1String(".o3d"), Qt::CaseInsensitive); }
