#pragma once

#include "slicing/RendererFactory.h"
#include "slicing/Slicer.h"

// Runs a started slicer to its end; on a terminal, standard error shows the layer count and
// percentage as it goes. Returns how the run stopped.
Slicer::Step runSlicerShowingProgress(Slicer &slicer);

// The --timings lines: the renderer and where the time went. A package run adds its previews
// and packing time (`packingMs`); a negative value leaves that figure out.
void printSliceTimings(RendererKind renderer, const Slicer::Timings &t, double packingMs = -1);
