#include "cli/Commands.h"

const std::vector<CliCommand> &cliCommands()
{
    static const std::vector<CliCommand> commands = {
        {"info", "read model files and print a summary of each", runInfoCommand},
        {"slice", "slice models into one PNG image per layer", runSliceCommand},
        {"calibrate", "write an exposure calibration package", runCalibrateCommand},
    };
    return commands;
}
