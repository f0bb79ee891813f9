#pragma once

#include <QString>
#include <functional>

class Scene;

// Writes every object after the build plate, placed as on the plate, into one binary STL:
// an 80-space header, the triangle count, and per triangle its unit normal, three corners
// in world millimetres and two spaces. Mirrored objects are written with their reversed
// winding so their normals still point outwards. The file is written through a temporary
// file: on failure an older file stays as it was and *error says why. `progress` gets
// 0…100 whenever the percentage changes.
bool exportSceneStl(const Scene &scene, const QString &path, QString *error,
                    const std::function<void(int percent)> &progress = {});
