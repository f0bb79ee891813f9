#pragma once

#include "config/EnvironmentSettings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Reading and writing the environment settings file (INI, readable by QSettings IniFormat).

// The file name written when no settings file was chosen.
inline constexpr const char *defaultSettingsFileName = "settings.ini";

// dataFolder() + "/settings.ini".
QString defaultSettingsFilePath();

// The names (not paths) of the files in `folder` matching "setting*.ini", sorted by name.
QStringList settingsFileCandidates(const QString &folder);

// Reads the file at `path`. Every key is read without a default (absent or unreadable values
// give 0, false or an empty string), then the fixed corrections are applied (window at least
// 960 × 600, idle time 16667 when not positive, drain hole 2.0 × 4.0 mm when too small, base
// thickness and margin 0.6 and 1.0 mm when 0, grey multiplier 255 below 127, all colour
// channels on when none is). Keys this program does not know are ignored.
// Returns false and leaves `settings` untouched when the file does not exist or cannot be
// read; `error` then says why. Values in Qt's typed form ("@Variant(…)") are never decoded:
// they read as absent and are logged as warnings, like lines that are not understood.
bool readSettingsFile(const QString &path, EnvironmentSettings &settings, QString *error = nullptr);

// The settings a file with this text gives, as readSettingsFile reads them. Its problems are
// logged under `what` unless that is empty. May throw std::bad_alloc.
EnvironmentSettings settingsFromText(const QByteArray &text, const QString &what = QString());

// The whole file text: groups "Models", "Support", "Slice", "Printer", "Print", "Misc", keys in
// their fixed order, values as QSettings writes them.
QByteArray settingsFileText(const EnvironmentSettings &settings);

// Writes the whole file to `path` (defaultSettingsFilePath() when empty), creating its folder
// when needed. The text goes to a temporary file beside the target that then replaces it, so
// a failed write leaves the previous file as it was. Returns false with `error` set on failure.
bool writeSettingsFile(const QString &path, const EnvironmentSettings &settings,
                       QString *error = nullptr);

// The build-plate model to load: `platformStlFileName` when it names a readable file,
// otherwise the built-in ":/BuildPlate_SAv1.STL".
QString buildPlateModelPath(const ModelSettings &models);
