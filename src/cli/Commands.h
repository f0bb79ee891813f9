#pragma once

#include <QStringList>
#include <vector>

// One sub-command of orvell3d-cli. Each lives in its own file (InfoCommand.cpp, …).
struct CliCommand
{
    const char *name;
    const char *summary;
    int (*run)(const QStringList &args);   // exit status: 0 ok, 1 failure, 2 bad usage
};

const std::vector<CliCommand> &cliCommands();

int runInfoCommand(const QStringList &args);
int runSliceCommand(const QStringList &args);
int runUploadCommand(const QStringList &args);
int runStatusCommand(const QStringList &args);
int runCalibrateCommand(const QStringList &args);
int runExportStlCommand(const QStringList &args);
