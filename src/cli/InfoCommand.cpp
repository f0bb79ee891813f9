#include "cli/Commands.h"

#include <cstdio>

int runInfoCommand(const QStringList &args)
{
    if (args.isEmpty()) {
        std::fprintf(stderr, "orvell3d-cli info: no model file given\n");
        return 2;
    }
    std::fprintf(stderr, "orvell3d-cli info: not available yet\n");
    return 1;
}
