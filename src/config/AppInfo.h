#pragma once

// The program's name and version as shown in titles, logs and packages.
namespace AppInfo {
inline constexpr const char *name = "Orvell3D";
inline constexpr const char *version = "0.78";
}
