#include "support_cli.h"

#include <QFile>
#include <QProcess>

CliRun runCli(const QStringList &args, const QString &dataDir, int timeoutMs)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORVELL3D_DATA_DIR", dataDir);
    p.setProcessEnvironment(env);
    p.start(ORVELL_CLI_PATH, args);
    if (!p.waitForFinished(timeoutMs))
        qFatal("orvell3d-cli did not finish");
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QString writeFixture(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        qFatal("cannot write test fixture %s", qPrintable(path));
    return path;
}

QString write3mfFixture(const QString &path, const QByteArray &modelXml)
{
    QProcess py;
    py.start("python3", {"-c",
                         "import sys, zipfile\n"
                         "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
                         "z.writestr('[Content_Types].xml', '<Types/>')\n"
                         "z.writestr('3D/3dmodel.model', sys.stdin.buffer.read())\n"
                         "z.close()\n",
                         path});
    if (!py.waitForStarted())
        qFatal("python3 is missing");
    py.write(modelXml);
    py.closeWriteChannel();
    if (!py.waitForFinished(30000) || py.exitCode() != 0)
        qFatal("cannot write the 3MF fixture %s", qPrintable(path));
    return path;
}

QByteArray threeMfModel(const QByteArray &resources, const QByteArray &build)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<model unit=\"millimeter\" xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\" "
           "xmlns:m=\"http://schemas.microsoft.com/3dmanufacturing/material/2015/02\">\n<resources>\n" +
           resources + "</resources>\n" + build + "</model>\n";
}

QByteArray threeMfBoxObject(int id, const float lo[3], const float hi[3])
{
    QByteArray xml = QByteArray("<object id=\"") + QByteArray::number(id) + "\" type=\"model\"><mesh><vertices>";
    for (int k = 0; k < 8; ++k)
        xml += QString::asprintf("<vertex x=\"%g\" y=\"%g\" z=\"%g\"/>", k & 1 ? hi[0] : lo[0],
                                 k & 2 ? hi[1] : lo[1], k & 4 ? hi[2] : lo[2])
                   .toLatin1();
    xml += "</vertices><triangles>";
    const int t[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                          {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    for (const auto &f : t)
        xml += QString::asprintf("<triangle v1=\"%d\" v2=\"%d\" v3=\"%d\"/>", f[0], f[1], f[2]).toLatin1();
    return xml + "</triangles></mesh></object>\n";
}

namespace {
// An OBJ box from (x0, y0, z0) to (x1, y1, z1) mm whose vertex numbers follow the `first` ones
// already written.
QByteArray objBox(int first, double x0, double y0, double z0, double x1, double y1, double z1)
{
    QByteArray obj;
    for (int k = 0; k < 8; ++k)
        obj += QString::asprintf("v %g %g %g\n", k & 1 ? x1 : x0, k & 2 ? y1 : y0, k & 4 ? z1 : z0).toLatin1();
    const int f[12][3] = {{1, 3, 4}, {1, 4, 2}, {5, 6, 8}, {5, 8, 7}, {1, 2, 6}, {1, 6, 5},
                          {2, 4, 8}, {2, 8, 6}, {4, 3, 7}, {4, 7, 8}, {3, 1, 5}, {3, 5, 7}};
    for (const auto &t : f)
        obj += QString::asprintf("f %d %d %d\n", t[0] + first, t[1] + first, t[2] + first).toLatin1();
    return obj;
}
} // namespace

QByteArray mushroomObj()
{
    return objBox(0, -2, -2, 0, 2, 2, 10) + objBox(8, -10, -10, 10, 10, 10, 14);
}
