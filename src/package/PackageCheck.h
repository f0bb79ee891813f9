#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

class LpkPackage;

// What a whole package holds and what is wrong with it, for `orvell3d-cli info`.
struct PackageReport
{
    int layerLines = 0;          // lines of the schedule
    int layerImagesFound = 0;    // of those, images the package holds
    int previews = 0;            // "Preview_*.png"
    QStringList otherMembers;    // neither layer, preview nor text file
    QSize expectedSize;          // from parameters.ini; invalid when it does not say
    QSize firstImageSize;        // of the first layer image that could be read
    QStringList problems;        // empty when the package is sound
};

// Checks an opened package: the schedule's announced count, every scheduled layer present
// and a PNG of the projector size (or a third of its width, for packed layers), heights that
// never fall and repeat only where another image of the same layer follows. Unpacks the layer
// images into the package's private folder; a failure to unpack is a problem too.
PackageReport checkPackage(const LpkPackage &package);
