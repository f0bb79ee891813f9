#include "cli/Commands.h"

const std::vector<CliCommand> &cliCommands()
{
    static const std::vector<CliCommand> commands = {
        {"info", "summarise model files, or check print packages", runInfoCommand},
        {"slice", "slice models into one PNG image per layer", runSliceCommand},
        {"export-stl", "write a scene or models as one binary STL file", runExportStlCommand},
        {"calibrate", "write an exposure calibration package", runCalibrateCommand},
        {"upload", "send a print package to a networked printer", runUploadCommand},
        {"status", "show a networked printer's pixel size and job state", runStatusCommand},
    };
    return commands;
}
