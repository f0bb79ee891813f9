#pragma once

// Registers "QList<Mesh>" and "QList<Object::modelColor>" so meshes and colour codes can
// travel through queued signals. Safe to call any number of times, from any thread.
void registerSceneMetaTypes();
