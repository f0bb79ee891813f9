#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include "slicing/RendererFactory.h"
#include "slicing/SliceParameters.h"
#include "slicing/Slicer.h"

struct ModelReadResult;
struct PackageDescription;

// The "--json" output for scripts and print farms: one JSON object per run on standard output,
// built from the same results the text summary prints. Progress and errors stay on standard
// error, and the exit status is the same as without "--json".

// The "info" command's report: {"command": "info", "models": […], "failed": […]}.
class InfoJsonReport
{
public:
    void addModel(const QString &path, const ModelReadResult &result);
    void addFailure(const QString &path, const QString &reason);
    void print() const;

private:
    QJsonArray m_models;
    QJsonArray m_failed;
};

// A finished slicing run into `path` (`output`: "folder" of layer PNGs or "package").
QJsonObject sliceJsonReport(const Slicer &slicer, const SliceParameters &params, RendererKind renderer,
                            double thicknessUm, const QString &output, const QString &path);

// What a package adds: its file size, profile, exposure schedule and packing time.
void addPackageFacts(QJsonObject *report, const PackageDescription &run, double packingMs);

// Writes `report` and a newline to standard output.
void printJsonReport(const QJsonObject &report);
