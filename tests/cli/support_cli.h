#pragma once

// Running the command-line program as a user does: as a child process with its own user folder.

#include <QByteArray>
#include <QString>
#include <QStringList>

struct CliRun
{
    int code;
    QString out;
    QString err;
};

// Runs orvell3d-cli with `args`, its user folder at `dataDir`; stops the test program when it
// does not finish within `timeoutMs`.
CliRun runCli(const QStringList &args, const QString &dataDir, int timeoutMs = 120000);

// Writes a fixture file and returns its path; stops the test program when it cannot.
QString writeFixture(const QString &path, const QByteArray &data);

// Writes a 3MF file (a ZIP made by Python's zipfile) whose model part is `modelXml`.
QString write3mfFixture(const QString &path, const QByteArray &modelXml);

// A 3MF model part with the given <resources> content and <build> content.
QByteArray threeMfModel(const QByteArray &resources, const QByteArray &build = QByteArray());

// A box mesh object from lo to hi (mm) for a 3MF model part.
QByteArray threeMfBoxObject(int id, const float lo[3], const float hi[3]);

// A mushroom as OBJ text: a 4 × 4 mm stem 10 mm tall under a 20 × 20 × 4 mm cap, which needs
// supports under the cap's rim.
QByteArray mushroomObj();
