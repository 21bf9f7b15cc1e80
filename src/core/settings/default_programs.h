#pragma once

#include "core/state/app_state.h"

#include <QString>

#include <vector>

namespace tw {

// The program that opens a file with the desktop's preferred application: the first of
// xdg-open, kde-open, kde-open5, exo-open and gnome-open found on the PATH, or
// "xdg-open" when none is.
QString DefaultOpenProgram();

// The file types a first start offers, all opened with `program`.
std::vector<FileTypeAssociation> DefaultFileTypes(const QString& program);

} // namespace tw
