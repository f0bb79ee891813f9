#include "app/CommandLineHelp.h"

#include <cstdio>
#include <cstring>

#include "config/AppInfo.h"

namespace {

void printHelp()
{
    std::printf("Usage: orvell3d [options] [FILE...]\n"
                "\n"
                "The desktop slicer for resin 3D printers: place models on the build plate, add\n"
                "supports and bases, slice the scene into one image per layer and save the print\n"
                "package (.lpk).\n"
                "\n"
                "Each FILE is opened as the program starts: model files (STL, OBJ, 3MF) are\n"
                "loaded onto the build plate, scene files (.o3d) add their models, bases and\n"
                "supports.\n"
                "\n"
                "Options:\n"
                "  -h, --help      show this help and exit\n"
                "  --version       show the program's version and exit\n"
                "  --              treat every following argument as a file\n"
                "\n"
                "The toolkit's own options (-platform NAME, -style NAME, ...) are accepted too.\n"
                "\n"
                "Environment:\n"
                "  ORVELL3D_DATA_DIR   the user folder to use instead of ~/Documents/Orvell3D\n"
                "\n"
                "Files:\n"
                "  ~/Documents/Orvell3D/setting*.ini   environment settings (projector, slicing)\n"
                "  ~/Documents/Orvell3D/profiles.ini   resin profiles\n"
                "  ~/Documents/Orvell3D/debug_*.log    the five newest log files\n"
                "  ~/Documents/Orvell3D/temp           working folder, removed on exit\n");
}

} // namespace

bool answerInfoOption(int argc, char **argv, int *exitCode)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printHelp();
            *exitCode = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", AppInfo::name, AppInfo::version);
            *exitCode = 0;
            return true;
        }
    }
    return false;
}
