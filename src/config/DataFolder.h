#pragma once

#include <QString>

// The per-user data folder: settings files, profile store, logs and the working folder "temp".
// It is Documents/Orvell3D; the environment variable ORVELL3D_DATA_DIR points it elsewhere
// (tests use this so they never touch a real user's files).
QString dataFolder();

// Creates the data folder when it is missing; false when it cannot be created.
bool ensureDataFolder();

// Start-up preparation of the data folder. When the folder does not exist yet, it is created
// and given a "settings.ini" with this program's default settings, as an installer would, so
// a first start finds a settings file. An existing folder is left exactly as it is.
// False (with `error` set) when the folder cannot be created. A folder that was created but
// could not be seeded still counts as prepared; the reason is logged as a warning.
bool prepareDataFolder(QString *error = nullptr);

// The working folder dataFolder()/temp, created when missing. Empty when it cannot be made.
QString tempFolder();
