#include "scene/Loader.h"

// Placeholder; the model readers replace it.
Loader::Loader(QObject *parent, QString fileName) : QThread(parent), m_fileName(std::move(fileName)) {}

void Loader::run() {}
