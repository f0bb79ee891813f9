#pragma once

#include <QString>

// The per-user data folder: settings files, profile store, logs and the working folder "temp".
// It is Documents/Orvell3D; the environment variable ORVELL3D_DATA_DIR points it elsewhere
// (tests use this so they never touch a real user's files).
QString dataFolder();

// Creates the data folder when it is missing; false when it cannot be created.
bool ensureDataFolder();

// The working folder dataFolder()/temp, created when missing. Empty when it cannot be made.
QString tempFolder();
