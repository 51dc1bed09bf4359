#pragma once

#include "reportengine/layout.h"

#include <QFont>

namespace tabel::report {

// The family a layout's font name prints with: Arial as the metric-compatible Liberation Sans, the old
// MS Sans Serif as the same close sans-serif.
QString printFamily(const QString &family);
QFont makeFont(const FontSpec &spec);

// The width of a text in millimetres.
double textWidth(const FontSpec &spec, const QString &text);

} // namespace tabel::report
