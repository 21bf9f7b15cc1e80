#pragma once

#include <QString>

namespace tw::ui {

// True when the collection at `path` opens and registers this version's documentation, whose
// document file exists. Opens it read-only: nothing is written.
bool IsCurrentHelpCollection(const QString& path);

} // namespace tw::ui
