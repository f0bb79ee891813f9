#include <QDataStream>
#include <QFile>
#include <QStandardItemModel>
#include <QTextEdit>
#include <QTreeView>
#include <QtTest>
#include <memory>

#include "support_window.h"
#include "app/Window.h"

namespace {

// A 10 × 20 × 5 mm box as binary STL with every face wound inward.
void writeInwardBoxStl(const QString &path)
{
    const float c[8][3] = {{0, 0, 0}, {10, 0, 0}, {10, 20, 0}, {0, 20, 0}, {0, 0, 5}, {10, 0, 5}, {10, 20, 5}, {0, 20, 5}};
    const int tri[12][3] = {{0, 1, 2}, {0, 2, 3}, {4, 6, 5}, {4, 7, 6}, {0, 5, 1}, {0, 4, 5},
                            {1, 6, 2}, {1, 5, 6}, {2, 7, 3}, {2, 6, 7}, {3, 4, 0}, {3, 7, 4}};
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QDataStream out(&f);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out.writeRawData(QByteArray(80, ' ').constData(), 80);
    out << quint32(12);
    for (const auto &t : tri) {
        out << 0.0f << 0.0f << 0.0f;
        for (int k : t)
            out << c[k][0] << c[k][1] << c[k][2];
        out << quint16(0);
    }
}

} // namespace

// A broken model loaded in the window: the log and the model tree say what was repaired.
class TestMeshCheckInWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowTestData> m_data;

private slots:
    void initTestCase() { qputenv("ORVELL3D_STARTUP_WAIT_MS", "0"); }

    void init()
    {
        m_data = std::make_unique<WindowTestData>();
        QVERIFY(m_data->isValid());
        QFile settings(m_data->filePath("settings.ini"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
    }

    void cleanup() { m_data.reset(); }

    void repairedModelSaysSoInLogAndTree()
    {
        const QString path = m_data->filePath("inward.stl");
        writeInwardBoxStl(path);
        Window w;
        waitForBuildPlate(w);
        QVERIFY(w.openModelFile(path));
        const QString line = "Mesh check: open edges: 0, shells: 1, inside-out shells: 1, repaired: 1 flipped shell";
        QTRY_VERIFY_WITH_TIMEOUT(w.findChild<QTextEdit *>("logWindow")->toPlainText().contains(line), 10000);
        auto *tree = w.findChild<QTreeView *>("modelTreeView");
        QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QStandardItemModel *>(tree->model())->rowCount() == 1, 10000);
        const QStandardItem *info = qobject_cast<QStandardItemModel *>(tree->model())->item(0)->child(0);
        QCOMPARE(info->text(), QString("Info"));
        QCOMPARE(info->rowCount(), 3);
        QCOMPARE(info->child(2)->text(), "Check: " + line.mid(12));
    }
};

QTEST_MAIN(TestMeshCheckInWindow)
#include "tst_gui_meshcheck.moc"
