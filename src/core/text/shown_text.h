#pragma once

#include "ftp/display_text.h"

#include <QString>

namespace tw {

// A text as the window shows it: what a server chose may hold control characters, C1 or
// bidirectional controls, which Qt would draw as boxes, obey (a right-to-left override
// reorders what follows) or break lines at; they are shown as the escapes of
// ftp::DisplayText, the same as on a terminal. Line breaks as `breaks` says. A text without
// any of them is returned as it is, at the cost of one scan.
QString ShownText(const QString& text, ftp::LineBreaks breaks);

} // namespace tw
